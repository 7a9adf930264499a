// Finds the Ogg pages in a host IStream and tells the byte offset of each:
// the bottom layer of the plug-in's own Ogg Opus reader.
#pragma once

#include <vymultitrack/Stream.h>

#include <ogg/ogg.h>

#include <cstddef>
#include <cstdint>
#include <span>

class OggPageReader {
public:
    OggPageReader();
    ~OggPageReader();
    OggPageReader(const OggPageReader&) = delete;
    OggPageReader& operator=(const OggPageReader&) = delete;

    // Reads `stream` (not owned; null reads nothing) from its current
    // position on. `alreadyRead` are the bytes the caller has taken from the
    // start of the data before that position (empty when the stream is at
    // byte 0); they are read first. Any page held before is dropped. The
    // buffer is sized here for the largest Ogg page, so that reading
    // allocates nothing afterwards.
    void Attach(IStream* stream, std::span<const std::uint8_t> alreadyRead = {});

    // The next whole page with a good checksum, skipping any bytes that are
    // not one (a damaged or cut page). The page's pointers stay valid until
    // the next call of NextPage, SeekTo or Attach. False at the end of the
    // data, on a read failure, or without a stream.
    [[nodiscard]] bool NextPage(ogg_page& page);

    // Byte offset from the start of the data of the page NextPage returned
    // last; -1 before the first.
    [[nodiscard]] std::int64_t PageOffset() const { return pageOffset; }

    // Continues reading at byte `offset` from the start of the data. False
    // when the stream refuses the seek; the reader then holds no data and
    // the stream's position is whatever the stream left.
    [[nodiscard]] bool SeekTo(std::int64_t offset);

private:
    // Appends the stream's next bytes to the sync buffer; false when none
    // came.
    bool ReadMore();

    ogg_sync_state sync{};
    IStream* stream = nullptr;
    // Byte offset of the first byte the sync state has not yet consumed.
    std::int64_t syncOffset = 0;
    std::int64_t pageOffset = -1;
};
