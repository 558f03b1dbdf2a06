// Helpers shared by the host tests of the format core.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/evtlog/core/ansi_record.h"
#include "platform/evtlog/core/evt_format.h"
#include "platform/evtlog/core/evt_ring.h"

namespace vantrel::evt::test {

// An event with n insertion strings and d data bytes, texts made from 'tag'.
Event MakeEvent(const std::u16string& tag, int strings = 2, int data = 0, bool sid = false);
// Latin-1 stands in for the ANSI code page: exact for U+0000..U+00FF, '?' beyond.
AnsiConverter Latin1();
std::vector<uint8_t> ReadFile(const std::string& path);
bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
bool Exists(const std::string& path);
std::string FixturePath(const char* name);
std::string ScratchPath(const char* name);
// Runs evtexport on a file; empty when the tool is missing or fails.
std::string Evtexport(const std::string& path);
// Our own listing of every record from oldest to newest, in evtexport's layout.
std::string Listing(Storage& s);
uint32_t AppendEvent(MemoryStorage& s, Header& h, uint32_t& fileSize, const Settings& st,
                     const Event& e, uint32_t now = 1000000000);

}  // namespace vantrel::evt::test
