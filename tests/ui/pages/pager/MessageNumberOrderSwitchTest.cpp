#include "PagerPagesTestSupport.h"

#include "ui/pages/MessageSettingsPage.h"

#include "link/sim/FactoryPagers.h"
#include "tests/programming/ProgrammingTestSupport.h"

namespace {

// The write procedure offers to switch to the pager's generation; on OK it shifts "Message
// number order" and refreshes the pages, and the page must show the same entry in the other
// list. The rig's host loads the page on "show" and stores it on "gather", as the window does.
class MessageNumberOrderSwitchTest : public ::testing::Test {
protected:
    explicit MessageNumberOrderSwitchTest() = default;

    void startIn(FactoryPager pager, Generation mode) {
        rig = std::make_unique<ProgrammingRig>(MakeFactoryPager(pager));
        rig->context.settings = WritableSettings();
        rig->context.state.programmingMode = mode;
        environment = std::make_unique<PageEnvironment>(PageEnvironment{rig->context, messages});
        page = std::make_unique<CSPF>(*environment);
        page->show();
        rig->host.onCall = [this](const RecordingHost::Call& call) {
            if (call.what.starts_with("show")) {
                page->loadFromSettings();
            } else if (call.what == "gather") {
                page->storeToSettings();
            }
        };
    }
    QComboBox* order() { return List(*page, CSPF::kOrderList); }

    RecordingMessageBoxService messages;
    std::unique_ptr<ProgrammingRig> rig;
    std::unique_ptr<PageEnvironment> environment;
    std::unique_ptr<CSPF> page;
};

TEST_F(MessageNumberOrderSwitchTest, ChosenEntryKeepsItsMeaningBothWays) {
    startIn(FactoryPager::V2, Generation::V1);
    Choose(order(), QStringLiteral("Oldest->No.1"));
    rig->Write(); // asks to switch to V2, writes nothing
    ASSERT_EQ(rig->context.state.programmingMode.load(), Generation::V2);
    EXPECT_EQ(Shown(order()), QStringLiteral("Oldest->No.1"));
    rig->Write();
    EXPECT_EQ(rig->cradle->Memory()[33], 2);

    rig->cradle->SetMemory(MakeFactoryPager(FactoryPager::V1));
    rig->Write(); // back to V1
    ASSERT_EQ(rig->context.state.programmingMode.load(), Generation::V1);
    EXPECT_EQ(Shown(order()), QStringLiteral("Oldest->No.1"));
    rig->Write();
    EXPECT_TRUE((rig->cradle->Memory()[4] >> 3) & 1);
}

TEST_F(MessageNumberOrderSwitchTest, NoneBecomesNewestFirstInV1) {
    startIn(FactoryPager::V1, Generation::V2);
    Choose(order(), QStringLiteral("None"));
    rig->Write();
    ASSERT_EQ(rig->context.state.programmingMode.load(), Generation::V1);
    EXPECT_EQ(Shown(order()), QStringLiteral("New->No.1"));
    EXPECT_EQ(rig->context.settings.messageNumberOrder, 0);
}

} // namespace
