// Helpers shared by the scenario tests: recorders for what the scenario code tells the user, and
// parsing XML.
#pragma once

#include "common/archivetest.h"
#include "common/paths.h"
#include "common/progress.h"
#include "scenario/geography.h"
#include "testhome.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <string>
#include <vector>

namespace halyx::test {

struct RecordingView : IGeographyView {
    std::vector<std::string> messages;
    void ShowMessage(const std::string& text, bool) override { messages.push_back(text); }
};

struct RecordingProgress : IProgress {
    std::vector<std::string> texts;
    int high = -1;
    int pos = 0;
    bool closed = false;
    void SetRange(int, int h) override { high = h; }
    void SetPos(int p) override { pos = p; }
    void SetText(const std::string& t) override { texts.push_back(t); }
    void Close() override { closed = true; }
};

// Parses text into document and answers its first element.
inline pugi::xml_node ParseXml(pugi::xml_document& document, const std::string& text) {
    const pugi::xml_parse_result parsed = document.load_string(text.c_str());
    EXPECT_TRUE(parsed) << parsed.description() << " at " << parsed.offset << " in " << text;
    return document.first_child();
}

} // namespace halyx::test
