#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kelvo {

// What a board operation needs of the window it runs in: a progress bar, a
// status line, a time-left line and the fixed warning line. The operation
// calls these as it goes, so an implementation must make each change visible
// at once (the operation blocks the thread that would otherwise repaint).
class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    // Range 0..max. Positions above max are shown as max, like a progress bar
    // control clamps them.
    virtual void SetRange(int max) = 0;
    virtual void SetPosition(int position) = 0;
    virtual void SetStatus(const std::string& text) = 0;
    virtual void SetTimeLeft(const std::string& text) = 0;
    // The estimate as a number of seconds; by default the window's
    // "Time Left: MM:SS".
    virtual void SetTimeLeftSeconds(std::int32_t seconds);
    virtual void SetWarning(const std::string& text) = 0;
};

// Keeps every call in order, for tests.
class RecordingProgressSink final : public ProgressSink {
public:
    enum class Kind { Range, Position, Status, TimeLeft, Warning };
    struct Event {
        Kind kind;
        int value = 0;    // Range and Position
        std::string text; // Status, TimeLeft and Warning
        bool operator==(const Event&) const = default;
    };

    void SetRange(int max) override { events.push_back({Kind::Range, max, {}}); }
    void SetPosition(int position) override { events.push_back({Kind::Position, position, {}}); }
    void SetStatus(const std::string& text) override { events.push_back({Kind::Status, 0, text}); }
    void SetTimeLeft(const std::string& text) override {
        events.push_back({Kind::TimeLeft, 0, text});
    }
    void SetWarning(const std::string& text) override {
        events.push_back({Kind::Warning, 0, text});
    }

    // The values of one kind of event, in order.
    std::vector<int> Values(Kind kind) const {
        std::vector<int> out;
        for (const Event& e : events)
            if (e.kind == kind)
                out.push_back(e.value);
        return out;
    }
    std::vector<std::string> Texts(Kind kind) const {
        std::vector<std::string> out;
        for (const Event& e : events)
            if (e.kind == kind)
                out.push_back(e.text);
        return out;
    }

    std::vector<Event> events;
};

} // namespace kelvo
