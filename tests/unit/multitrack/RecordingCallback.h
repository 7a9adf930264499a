// A MultiTrackCallbackIntf that records every call, for decoder tests.
#pragma once

#include <multitrack/MultiTrackCallbackIntf.h>

#include <string>
#include <utility>
#include <vector>

class RecordingCallback final : public MultiTrackCallbackIntf {
public:
    bool RegisterInstance(MultiTrackDecoder* decoder, const char16_t* id) override
    {
        calls.push_back(u"register:" + std::u16string(id));
        registered.emplace_back(decoder, id);
        return registerAnswer && *id != 0;
    }
    bool UnregisterInstance(MultiTrackDecoder*, const char16_t* id) override
    {
        calls.push_back(u"unregister:" + std::u16string(id));
        return true;
    }
    void NotifyOpen(const char16_t* id, const char16_t* url, std::int32_t trackCount, const TrackNameEntry* names,
                    std::int32_t nameCount) override
    {
        calls.push_back(u"open:" + std::u16string(id) + u"|" + std::u16string(url));
        openTrackCount = trackCount;
        namesWereNull = names == nullptr;
        openNames.clear();
        for (std::int32_t i = 0; i < nameCount; ++i)
            openNames.emplace_back(names[i].index, names[i].name);
    }
    void Log(const char16_t* message, const char16_t* detail) override
    {
        logs.emplace_back(message ? message : u"<null>", detail ? detail : u"<null>");
    }

    bool registerAnswer = true;
    std::vector<std::u16string> calls;
    std::vector<std::pair<MultiTrackDecoder*, std::u16string>> registered;
    std::vector<std::pair<std::int32_t, std::u16string>> openNames;
    std::int32_t openTrackCount = -1;
    bool namesWereNull = false;
    std::vector<std::pair<std::u16string, std::u16string>> logs;
};
