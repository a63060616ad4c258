// main() of the settings tests: a headless application around the test run, with the
// program's dialog templates read from the source tree.
#include "platform/ui/DialogResources.h"
#include "support/ui/UiTestApp.h"

int main(int argc, char** argv) {
    kelmon::test::ui::PrepareEnvironment();
    QApplication app(argc, argv);
    kelmon::test::ui::UseCjkFont();
    platform::ui::RegisterDialogModule("kelmon", KELMON_SOURCE_DIR "/resources/kelmon");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
