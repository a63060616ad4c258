// Figures of the whole start against the in-process test server on loopback: the time from
// pressing the login button to the shown main frame (with the standard panel) on a trading
// day of 2,000 contracts, and the program's processor use while it sits logged in.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "platform/core/Encoding.h"
#include "platform/core/Paths.h"
#include "platform/ui/WindowTable.h"
#include "platform/ui/Wnd.h"
#include "record/Configure.h"
#include "shell/LoginDlg.h"
#include "shell/MainFrame.h"
#include "shell/TradeApp.h"
#include "shell/services/SettingsWriters.h"
#include "tests/support/ui/ModalDriver.h"
#include "tests/support/ui/UiTestApp.h"
#include "tests/tradedata/TradeDataFixture.h"
#include "testserver/LoginAnswer.h"
#include "testserver/TestServer.h"

namespace {

constexpr int kContracts = 2000;

QApplication& Application() {
    static int argc = 1;
    static char name[] = "shell_bench";
    static char* argv[] = {name, nullptr};
    static QApplication* application = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        return new QApplication(argc, argv);
    }();
    return *application;
}

// Runs the event loop as the program does, blocking while nothing happens.
void RunEventLoopFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// A scratch program folder whose installation profile names the test server of a generated
// day, as an installer writes it.
class Installation {
public:
    Installation() {
        Application();
        std::string pattern =
            (std::filesystem::temp_directory_path() / "kelmon-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) std::abort();
        dir_ = pattern + "/";
        platform::SetProgramDirForTesting(dir_);
        const testserver::TradingDay day = testserver::GeneratedTradingDay(kContracts, 0);
        server_.EnableTradingDay(day);
        server_.SetHook(testserver::kFunctionLogin,
                        testserver::LoginAnswerHook(testserver::LoginAccountsOf(day)));
        if (!server_.Start()) std::abort();
        std::ofstream(dir_ + "KELMON.INI", std::ios::binary)
            << platform::Utf8ToGbk("[TradeServer]\r\nSERVER1=演示服务器,127.0.0.1@" +
                                   std::to_string(server_.Port()) + "/tcp\r\n");
    }
    ~Installation() {
        server_.Stop();
        pavlet::SetPrivateProfileName("");
        platform::SetProgramDirForTesting("");
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }

private:
    std::string dir_;
    testserver::TestServer server_;
};

void Type(QWidget* dialog, int id, const char* text) {
    CWnd* wnd = CWnd::FromHandle(platform::ui::WindowTable::Instance().HandleOf(dialog));
    auto* edit = qobject_cast<QLineEdit*>(wnd->GetDlgItem(id)->GetWidget());
    edit->clear();
    QTest::keyClicks(edit, QString::fromUtf8(text));
}

// One start of the program: the login typed into the dialog, the button pressed, the frame
// shown. Closing the frame ends it (without the exit, which ends the crypto library).
class Start {
public:
    Start() {
        tradedata::testing::ResetGlobalTables();
        driver_.OnNextModal([this](QWidget* dialog) {
            Type(dialog, shell::CLoginDlg::kCustomer, "10086001");
            Type(dialog, shell::CLoginDlg::kPassword, "123456");
            pressed_.start();
            kelmon::test::ui::ModalDriver::ClickButton(dialog, "登录");
        });
        shell::CTradeApp::Environment environment;
        environment.createMainFrame = shell::CreateMainFrame;
        app_ = std::make_unique<shell::CTradeApp>(std::move(environment));
        ok_ = app_->InitInstance() != FALSE;
        elapsed_ = pressed_.isValid() ? static_cast<double>(pressed_.nsecsElapsed()) / 1e9 : 0;
    }
    ~Start() {
        if (CWnd* frame = app_->MainWnd()) frame->DestroyWindow();
        kelmon::test::ui::ProcessEventsUntil([this] { return app_->MainWnd() == nullptr; });
        app_.reset();
        tradedata::testing::ResetGlobalTables();
    }
    bool ok() const { return ok_; }
    double seconds() const { return elapsed_; }

private:
    kelmon::test::ui::ModalDriver driver_;
    std::unique_ptr<shell::CTradeApp> app_;
    QElapsedTimer pressed_;
    bool ok_ = false;
    double elapsed_ = 0;
};

// One start per process (the program logs in once a run): the time from the button to the
// shown frame, then the processor time of the whole process (client, its worker threads and
// the in-process server) over five idle seconds, as a share of one processor.
void BM_LoginButtonToMainFrameThenIdle(benchmark::State& state) {
    Installation installation;
    for (auto _ : state) {
        Start start;
        if (!start.ok()) {
            state.SkipWithError("the login did not reach the main frame");
            break;
        }
        state.SetIterationTime(start.seconds());
        // The first passes load what the frame asks for; idle means after them.
        RunEventLoopFor(3000);
        const double cpu = CpuSeconds();
        QElapsedTimer wall;
        wall.start();
        RunEventLoopFor(5000);
        state.counters["idle_cpu_percent"] =
            100.0 * (CpuSeconds() - cpu) / (static_cast<double>(wall.nsecsElapsed()) / 1e9);
    }
}
BENCHMARK(BM_LoginButtonToMainFrameThenIdle)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace
