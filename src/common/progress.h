#pragma once

#include <string>

namespace halyx {

// Progress of long work, reported by the core and shown by whichever front end runs it (a
// progress dialog in the desktop program, a line of text in the console, nothing in tests).
class IProgress {
public:
    virtual ~IProgress() = default;
    virtual void SetRange(int low, int high) = 0;
    virtual void SetPos(int pos) = 0;
    virtual void SetText(const std::string& text) = 0;
    // True once the user asked to stop; long work checks it between steps.
    virtual bool Canceled() const { return false; }
    virtual void Close() {}
};

// Shows nothing: the default when no front end is interested.
class CNullProgress final : public IProgress {
public:
    void SetRange(int, int) override {}
    void SetPos(int) override {}
    void SetText(const std::string&) override {}
};

} // namespace halyx
