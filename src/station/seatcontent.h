#pragma once

// Builds a station command's content. Every value goes through the word-or-string rule, so a
// name or ID taken from the scenario or typed by a person can never unbalance the message.
//
//   SeatContent("deploy").Add("id", "I3").Add("destLat", "400.000").text()
//     -> "tell :command deploy :id I3 :destLat 400.000"

#include "external/kqml/message.h"

#include <string>

namespace halyx {

class SeatContent {
public:
    SeatContent() : m_text("tell") {}
    explicit SeatContent(const char* command) : m_text("tell :command ") { m_text += command; }
    SeatContent& Add(const char* key, const std::string& value) {
        Key(key);
        AppendKqmlValue(m_text, value);
        return *this;
    }
    SeatContent& Add(const char* key, const char* value) { return Add(key, std::string(value)); }
    SeatContent& Add(const char* key, long long value) { return Add(key, std::to_string(value)); }
    SeatContent& Add(const char* key, int value) { return Add(key, std::to_string(value)); }
    // A list value as it stands: the caller makes sure it is balanced.
    SeatContent& AddList(const char* key, const std::string& list) {
        Key(key);
        m_text += '(';
        m_text += list;
        m_text += ')';
        return *this;
    }
    const std::string& text() const { return m_text; }

private:
    void Key(const char* key) {
        m_text += " :";
        m_text += key;
        m_text += ' ';
    }
    std::string m_text;
};

} // namespace halyx
