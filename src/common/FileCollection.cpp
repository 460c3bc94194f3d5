#include "common/FileCollection.h"

#include <QDir>
#include <QFile>
#include <array>
#include <filesystem>
#include <set>
#include <system_error>

namespace {

constexpr std::array<const char16_t*, 22> kSupportedExtensions = {
    u".mp4", u".mkv",  u".avi", u".mpg", u".mpeg", u".mov",  u".wmv",  u".flv",
    u".f4v", u".mp3",  u".wma", u".wav", u".m4a",  u".ogg",  u".aiff", u".aac",
    u".ac3", u".eac3", u".mp2", u".wv",  u".webm", u".flac",
};

QString AsciiLower(QString text) {
    for (QChar& c : text) {
        if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + (u'a' - u'A'));
    }
    return text;
}

QString WithSeparator(const QString& folder) {
    if (folder.endsWith(u'/') || folder.endsWith(QDir::separator()))
        return folder;
    return folder + u'/';
}

namespace fs = std::filesystem;

fs::path ToFsPath(const QString& path) {
#ifdef _WIN32
    return fs::path(path.toStdWString());
#else
    return fs::path(QFile::encodeName(path).toStdString());
#endif
}

QString FromFsName(const fs::path& name) {
#ifdef _WIN32
    return QString::fromStdWString(name.native());
#else
    return QFile::decodeName(QByteArray::fromStdString(name.native()));
#endif
}

void Scan(const QString& folder, QStringList& found, std::set<fs::path>& visited) {
    std::error_code ec;
    const fs::path fsFolder = ToFsPath(folder);
    // The real folder behind any links: entering it twice would mean a loop
    // (or a second way to the same files).
    const fs::path real = fs::canonical(fsFolder, ec);
    if (ec || !visited.insert(real).second)
        return;

    fs::directory_iterator it(fsFolder, fs::directory_options::skip_permission_denied, ec);
    if (ec)
        return;
    const QString prefix = WithSeparator(folder);
    for (const fs::directory_iterator end; it != end; it.increment(ec)) {
        if (ec)
            return;
        const QString name = FromFsName(it->path().filename());
        std::error_code typeError;
        const fs::file_status status = it->status(typeError);
        if (fs::is_directory(status)) {
            Scan(prefix + name, found, visited);
        } else if (fs::is_other(status)) {
            // FIFOs, sockets and devices are never media, and reading one could block.
        } else if (IsSupportedFile(name)) {
            found.append(prefix + name);
        }
    }
}

} // namespace

bool IsSupportedFile(const QString& name) {
#ifdef _WIN32
    const qsizetype slash = std::max(name.lastIndexOf(u'/'), name.lastIndexOf(u'\\'));
#else
    const qsizetype slash = name.lastIndexOf(u'/');
#endif
    const QString component = name.mid(slash + 1);
    const qsizetype dot = component.lastIndexOf(u'.');
    if (dot < 0)
        return false;
    const QString extension = AsciiLower(component.mid(dot));
    for (const char16_t* supported : kSupportedExtensions) {
        if (extension == QStringView(supported))
            return true;
    }
    return false;
}

void ScanFolder(const QString& folder, QStringList& found) {
    std::set<fs::path> visited;
    Scan(folder, found, visited);
}
