#pragma once

#include <atomic>
#include <mutex>
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

// Progress of work on a worker thread: the work sets it, the window reads it on a timer and
// asks the work to stop with Cancel. Of the texts, the latest is kept for the window to show.
class CSharedProgress final : public IProgress {
public:
    void SetRange(int low, int high) override {
        m_low = low;
        m_high = high;
    }
    void SetPos(int pos) override { m_pos = pos; }
    void SetText(const std::string& text) override {
        const std::lock_guard lock(m_textMutex);
        m_text = text;
    }
    bool Canceled() const override { return m_canceled; }

    int Low() const { return m_low; }
    int High() const { return m_high; }
    int Pos() const { return m_pos; }
    std::string Text() const {
        const std::lock_guard lock(m_textMutex);
        return m_text;
    }
    void Cancel() { m_canceled = true; }

private:
    std::atomic<int> m_low{0};
    std::atomic<int> m_high{0};
    std::atomic<int> m_pos{0};
    std::atomic<bool> m_canceled{false};
    mutable std::mutex m_textMutex;
    std::string m_text;
};

} // namespace halyx
