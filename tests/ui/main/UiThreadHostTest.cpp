#include "ui/main/UiThreadHost.h"

#include <QCoreApplication>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

// Records each call and whether it ran on the user-interface thread.
class ThreadCheckingHost final : public ProgrammingHost {
public:
    std::vector<std::string> calls;
    bool allOnUiThread = true;

    void EnableTransferButtons(bool enabled) override { Note(enabled ? "on" : "off"); }
    MessageAnswer ShowMessage(const MessageRequest& request) override {
        Note("message:" + request.text);
        return MessageAnswer::Cancel;
    }
    void SetStatusText(const std::string& text) override { Note("status:" + text); }
    void SetProgressRange(int minimum, int maximum) override {
        Note("range:" + std::to_string(minimum) + ".." + std::to_string(maximum));
    }
    void SetProgressStep(int step) override { Note("step-size:" + std::to_string(step)); }
    void SetProgressPosition(int position) override {
        Note("position:" + std::to_string(position));
    }
    void StepProgress() override { Note("step"); }
    void DecodeImage() override { Note("decode"); }
    void RebuildTabs() override { Note("rebuild"); }
    void ShowSettings() override { Note("show"); }
    void GatherPages() override { Note("gather"); }
    void StorePages() override { Note("store"); }
    void LoadGeneralPage() override { Note("load-general"); }
    void IncrementCapcodes() override { Note("increment"); }

private:
    void Note(std::string call) {
        allOnUiThread = allOnUiThread && QThread::currentThread() == qApp->thread();
        calls.push_back(std::move(call));
    }
};

void CallEverything(ProgrammingHost& host, MessageAnswer& answer) {
    host.SetProgressRange(0, 137);
    host.SetProgressStep(1);
    host.StepProgress();
    host.SetProgressPosition(0);
    host.SetStatusText("Read OK !");
    host.DecodeImage();
    host.RebuildTabs();
    host.ShowSettings();
    host.GatherPages();
    answer = host.ShowMessage({"question", "caption", MessageIcon::None, MessageButtons::OkCancel});
    host.EnableTransferButtons(false);
    host.LoadGeneralPage();
    host.IncrementCapcodes();
}

const std::vector<std::string> kAllCalls = {
    "range:0..137", "step-size:1",  "step",     "position:0", "status:Read OK !",
    "decode",       "rebuild",      "show",     "gather",     "message:question",
    "off",          "load-general", "increment"};

TEST(UiThreadHost, RunsAWorkersCallsOnTheUserInterfaceThreadInOrder) {
    QObject context;
    ThreadCheckingHost target;
    UiThreadHost host(context, target);
    MessageAnswer answer = MessageAnswer::Ok;
    std::atomic<bool> finished{false};
    std::thread worker([&] {
        CallEverything(host, answer);
        finished = true;
    });
    const bool done = QTest::qWaitFor([&] { return finished.load(); }, 5000);
    worker.join();

    ASSERT_TRUE(done);
    EXPECT_EQ(target.calls, kAllCalls);
    EXPECT_TRUE(target.allOnUiThread);
    EXPECT_EQ(answer, MessageAnswer::Cancel);
}

TEST(UiThreadHost, CallsFromTheUserInterfaceThreadRunDirectly) {
    QObject context;
    ThreadCheckingHost target;
    UiThreadHost host(context, target);
    MessageAnswer answer = MessageAnswer::Ok;
    CallEverything(host, answer); // would dead-lock if it queued and waited
    EXPECT_EQ(target.calls, kAllCalls);
    EXPECT_EQ(answer, MessageAnswer::Cancel);
}

} // namespace
