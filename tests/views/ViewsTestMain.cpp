// main() of the views window tests: a headless application around the test run.
#include "support/ui/UiTestApp.h"

int main(int argc, char** argv) { return kelmon::test::ui::RunUiTests(argc, argv); }
