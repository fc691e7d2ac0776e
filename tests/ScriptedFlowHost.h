#pragma once

#include "ops/FlowHost.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace kelvo {

// A flow host for tests: answers questions and file dialogs from a script
// and records everything the flow asks of it, in order.
class ScriptedFlowHost final : public FlowHost {
public:
    struct Message {
        std::string text, caption;
        MessageIcon icon;
        MessageButtons buttons;
    };

    MessageAnswer ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon,
                              MessageButtons buttons) override {
        messages.push_back({text, caption, icon, buttons});
        log.push_back("message " + caption);
        if (onMessage)
            onMessage();
        if (buttons == MessageButtons::Ok)
            return MessageAnswer::Ok;
        if (answers.empty())
            return MessageAnswer::No;
        const MessageAnswer a = answers.front();
        answers.pop_front();
        return a;
    }
    std::optional<std::string> ChooseOpenFile(FileKind) override { return NextFile("open"); }
    std::optional<std::string> ChooseSaveFile(FileKind, const std::string& proposed) override {
        proposedNames.push_back(proposed);
        return NextFile("save");
    }
    void RunInProgressWindow(const OperationRequest& request,
                             const std::function<void(ProgressSink&)>& operation) override {
        requests.push_back(request);
        log.push_back("operation " + std::to_string(request.operation));
        sinks.emplace_back();
        Window window(sinks.back(), onPosition);
        operation(window);
    }
    void Beep() override { log.push_back("beep"); }
    void RebuildOptionsList() override {
        pages = {0, 1, 2, 3, 4, 5, 6, 7};
        log.push_back("rebuild list");
    }
    void KeepOnlyPages(const std::vector<int>& kept) override {
        pages = kept;
        log.push_back("keep pages");
    }
    void WriteBoardPanel(const std::string& type, const std::string& firmware,
                         const std::string& battery) override {
        panel = {type, firmware, battery};
        log.push_back("panel " + type + " | " + firmware + " | " + battery);
    }
    void SetUploadEnabled(bool enabled) override {
        uploadEnabled = enabled;
        log.push_back(enabled ? "upload on" : "upload off");
    }
    void ReloadPageOnScreen() override { log.push_back("reload page"); }
    void CollectCurrentPage() override { log.push_back("collect page"); }
    void RequestDownload() override { log.push_back("request download"); }

    // Log entries that start with `prefix`.
    std::vector<std::string> Entries(const std::string& prefix) const {
        std::vector<std::string> out;
        for (const std::string& e : log)
            if (e.rfind(prefix, 0) == 0)
                out.push_back(e);
        return out;
    }
    std::vector<std::string> Captions() const {
        std::vector<std::string> out;
        for (const Message& m : messages)
            out.push_back(m.caption);
        return out;
    }
    std::vector<int> Operations() const {
        std::vector<int> out;
        for (const OperationRequest& r : requests)
            out.push_back(r.operation);
        return out;
    }

    std::function<void()> onMessage; // runs while a message is on screen
    // Called with each bar position an operation shows, as it shows it.
    std::function<void(int)> onPosition;
    std::deque<MessageAnswer> answers;            // for Yes/No questions; No when empty
    std::deque<std::optional<std::string>> files; // for file dialogs; cancel when empty
    std::vector<std::string> log;
    std::vector<Message> messages;
    std::vector<OperationRequest> requests;
    std::deque<RecordingProgressSink> sinks;
    std::vector<std::string> proposedNames;
    std::vector<std::string> panel;
    std::vector<int> pages;
    bool uploadEnabled = true;

private:
    // The progress window: records into the sink and reports positions.
    class Window final : public ProgressSink {
    public:
        Window(RecordingProgressSink& sink, const std::function<void(int)>& onPosition)
            : sink_(sink), onPosition_(onPosition) {}
        void SetRange(int max) override { sink_.SetRange(max); }
        void SetPosition(int position) override {
            sink_.SetPosition(position);
            if (onPosition_)
                onPosition_(position);
        }
        void SetStatus(const std::string& text) override { sink_.SetStatus(text); }
        void SetTimeLeft(const std::string& text) override { sink_.SetTimeLeft(text); }
        void SetWarning(const std::string& text) override { sink_.SetWarning(text); }

    private:
        RecordingProgressSink& sink_;
        const std::function<void(int)>& onPosition_;
    };

    std::optional<std::string> NextFile(const char* what) {
        log.push_back(std::string("choose ") + what);
        if (files.empty())
            return std::nullopt;
        std::optional<std::string> f = files.front();
        files.pop_front();
        return f;
    }
};

} // namespace kelvo
