#pragma once

#include "platform/UrlOpener.h"
#include "translation/Language.h"
#include "translation/MessageDlg.h"

#include <QDialog>
#include <QString>
#include <QUrl>
#include <functional>

class QAction;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class FlagComboBox;

struct TranslateFormOptions {
    // The main window's SetLanguageFile: receives "<name>.lang.txt" before
    // the restart. Empty: nothing is handed over.
    std::function<void(const QString& fileName)> SetLanguageFile;
    // The run's language: the dialog lists its LanguageFiles from its
    // LanguagesFolder and starts on its CurrentLanguage.
    LanguageState Language;
    QString DataFolder;     // where the restart script goes
    QString ExecutablePath; // what it starts; empty: this executable
    // Runs the script detached and ends the application. Empty: /bin/sh runs
    // it in `workingFolder` and the application is asked to quit.
    std::function<void(const QString& scriptPath, const QString& workingFolder)> Restart;
    MessageDlgFunction ShowMessage; // empty: real message boxes
    UrlOpenerFunction OpenUrl;      // empty: the desktop's browser
    QString VendorHost;             // empty: VendorHost()
};

// The language selection dialog: lists the language files found at start-up
// with their flags and translators and, once a different language is
// confirmed, restarts the program in it.
class TTranslateForm : public QDialog {
    Q_OBJECT
public:
    explicit TTranslateForm(TranslateFormOptions options, QWidget* parent = nullptr);

    void ComboBox1Change();
    void Button1Click();
    void Label3Click();
    void Copy1Click();
    void SelectAll1Click();

    // The address of the vendor's translation page.
    QString TranslationPage() const;

    QLabel* Label1 = nullptr;
    FlagComboBox* ComboBox1 = nullptr;
    QLabel* Label2 = nullptr;
    QPlainTextEdit* RichEdit1 = nullptr;
    QLabel* Label3 = nullptr;
    QPushButton* Button1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* Copy1 = nullptr;
    QAction* SelectAll1 = nullptr;

    // The entry that was selected when the dialog opened.
    QString InitialLanguage;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void PlaceControls();

    TranslateFormOptions m_options;
};

// Starts the restart script detached (StartRestartScript) and asks the
// application to quit.
void RunRestartScriptAndQuit(const QString& scriptPath, const QString& workingFolder);
