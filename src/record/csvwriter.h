#pragma once

// A CSV file written row by row: fields quoted when they hold a comma, a quote or a line break
// (quotes doubled inside), rows ended by "\n", text always UTF-8. The file is written under a
// temporary name and renamed by Close, so a failed export never leaves a half-written file under
// the final name.
//
// Usage:
//     CCsvWriter csv;
//     if (!csv.Open(folder + "/chat.csv")) { report(csv.Error()); }
//     csv.Row({"experiment", "minute", "from", "text"});
//     csv.Field(name); csv.Field(minute); csv.EndRow();
//     if (!csv.Close()) { report(csv.Error()); }

#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>

namespace halyx {

class CCsvWriter {
public:
    CCsvWriter() = default;
    CCsvWriter(const CCsvWriter&) = delete;
    CCsvWriter& operator=(const CCsvWriter&) = delete;
    ~CCsvWriter();

    bool Open(const std::string& path);
    void Field(std::string_view value);
    void Field(long long value);
    void EndRow();
    void Row(std::initializer_list<std::string_view> fields);
    // Flushes, and renames the file to its final name; false when anything failed.
    bool Close();
    // Removes the temporary file without publishing it.
    void Abandon();

    const std::string& Error() const { return m_error; }

    // The field as it is written: quoted when needed, bytes that are not UTF-8 read as Latin-1.
    static void AppendField(std::string& out, std::string_view value);

private:
    void Flush();

    std::FILE* m_file = nullptr;
    std::string m_path;
    std::string m_tempPath;
    std::string m_buffer;
    bool m_rowStarted = false;
    bool m_failed = false;
    std::string m_error;
};

} // namespace halyx
