// Callbacks through which the Ogg libraries read a host IStream. The data
// source handed to the library is the IStream pointer itself; the decoder's
// reference on it is the only one, so closing does nothing.
#pragma once

#include <cstddef>
#include <cstdint>

namespace StreamAdapter {

// Library form: reads up to `bytes` bytes; the count read, 0 on failure or
// without a stream (the library then sees the end of its data).
int ReadBytes(void* stream, unsigned char* buffer, int bytes);
// Item form (fread's): reads size × count bytes, calling Read again after a
// short delivery until the end of the data or a failure; the whole items
// read, counting nothing of a failed Read; 0 without a stream or with size 0.
std::size_t ReadItems(void* buffer, std::size_t size, std::size_t count, void* stream);
// whence 0, 1, 2 = from the start, the current position, the end; 0 on
// success, -1 on failure, for any other whence or without a stream.
int Seek(void* stream, std::int64_t offset, int whence);
// The current byte position; -1 on failure or without a stream.
std::int64_t Tell(void* stream);
// The same in the library's `long`; -1 also for a position that does not
// fit in it (past 2 GiB where long has 32 bits, as on Windows).
long TellLong(void* stream);
// Does nothing; 0.
int CloseNothing(void* stream);

} // namespace StreamAdapter
