#pragma once

#include <string>

namespace halyx {

// Where the geography tells the user something: a message box in the desktop program, a printed
// line in the console, a recorder in tests.
class IGeographyView {
public:
    virtual ~IGeographyView() = default;
    // error: shown with an error icon.
    virtual void ShowMessage(const std::string& text, bool error) = 0;
};

// Tells nobody; for callers that only want the result.
class CSilentGeographyView final : public IGeographyView {
public:
    void ShowMessage(const std::string&, bool) override {}
};

} // namespace halyx
