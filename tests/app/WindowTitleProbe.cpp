// Shows the secondary windows and message boxes under the program's own
// application names, then prints each one's key and native window id, one
// per line, and "END". The windows stay up until standard input closes, so
// a test can read their titles from the window system meanwhile.
#include "about/AboutBox.h"
#include "app/ApplicationNames.h"
#include "feedback/FeedbackForm.h"
#include "translation/MessageDlg.h"
#include "translation/TranslateForm.h"
#include "translation/WindowTexts.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QWidget>
#include <QWindow>
#include <cstdio>
#include <memory>
#include <unistd.h>
#include <utility>
#include <vector>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    SetApplicationNames();

    std::vector<std::pair<const char*, std::unique_ptr<QWidget>>> windows;
    FeedbackFormOptions feedback;
    feedback.ProductName = QStringLiteral("Korvane");
    windows.emplace_back("feedback", std::make_unique<TFeedbackForm>(feedback));
    windows.emplace_back("language", std::make_unique<TTranslateForm>(TranslateFormOptions{}));
    AboutBoxOptions about;
    about.ProductName = QStringLiteral("Korvane");
    about.AppVersion = QStringLiteral("1.0");
    windows.emplace_back("about", std::make_unique<TAboutBox>(about));
    const std::pair<const char*, QString> boxes[] = {
        {"success", WindowTexts::kSuccess},
        {"failure", WindowTexts::kFailure},
        {"confirmation", WindowTexts::kConfirmation},
        {"license", WindowTexts::kLicense},
    };
    for (const auto& [key, title] : boxes) {
        MessageRequest request;
        request.Icon = QMessageBox::Information;
        request.Title = title;
        request.Text = QStringLiteral("A message.");
        windows.emplace_back(key, CreateMessageDlg(nullptr, request));
    }

    for (auto& [key, window] : windows)
        window->show();
    // Until every window is on screen, so its properties are at the server.
    QElapsedTimer clock;
    clock.start();
    const auto allVisible = [&] {
        for (auto& [key, window] : windows)
            if (!window->isVisible() || !window->windowHandle() ||
                !window->windowHandle()->isExposed())
                return false;
        return true;
    };
    while (!allVisible() && clock.elapsed() < 10000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    QApplication::sync();
    for (auto& [key, window] : windows)
        std::printf("%s %llu\n", key, static_cast<unsigned long long>(window->winId()));
    std::printf("END\n");
    std::fflush(stdout);

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &application, [&] {
        char byte = 0;
        if (::read(STDIN_FILENO, &byte, 1) <= 0)
            application.quit();
    });
    return application.exec();
}
