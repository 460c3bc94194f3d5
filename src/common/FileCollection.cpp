#include "common/FileCollection.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <algorithm>
#include <array>
#include <filesystem>
#include <set>
#include <system_error>
#include <vector>

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

struct Entry {
    QString Name;
    fs::file_status Status;
};

void Scan(const QString& folder, QStringList& found, std::set<fs::path>& visited,
          const FileNameOrder& order, const std::stop_token& stop) {
    if (stop.stop_requested())
        return;
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
    // The file system's own order is hash order on most Linux file systems;
    // an album must come out as a file manager lists it.
    std::vector<Entry> entries;
    for (const fs::directory_iterator end; it != end; it.increment(ec)) {
        // A folder of a slow share can take long to list.
        if (ec || stop.stop_requested())
            break;
        std::error_code typeError;
        entries.push_back({FromFsName(it->path().filename()), it->status(typeError)});
    }
    std::sort(entries.begin(), entries.end(),
              [&order](const Entry& a, const Entry& b) { return order.less(a.Name, b.Name); });

    const QString prefix = WithSeparator(folder);
    for (const Entry& entry : entries) {
        if (stop.stop_requested())
            return;
        if (fs::is_directory(entry.Status)) {
            Scan(prefix + entry.Name, found, visited, order, stop);
        } else if (fs::is_other(entry.Status)) {
            // FIFOs, sockets and devices are never media, and reading one could block.
        } else if (IsSupportedFile(entry.Name)) {
            found.append(prefix + entry.Name);
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

FileNameOrder::FileNameOrder() {
    // Under the C locale the collator compares code points, which is neither
    // case-insensitive nor numeric; English rules are what such a user expects.
    QLocale locale;
    if (locale.language() == QLocale::C)
        locale = QLocale(QLocale::English, QLocale::UnitedStates);
    m_collator = QCollator(locale);
    m_collator.setCaseSensitivity(Qt::CaseInsensitive);
    m_collator.setNumericMode(true);
}

bool FileNameOrder::less(const QString& a, const QString& b) const {
    const int byCollation = m_collator.compare(a, b);
    if (byCollation != 0)
        return byCollation < 0;
    // "Song.mp3" and "song.mp3", or "01" and "1", collate alike; keep the
    // order the same on every run all the same.
    return a < b;
}

void ScanFolder(const QString& folder, QStringList& found, std::stop_token stop) {
    std::set<fs::path> visited;
    const FileNameOrder order;
    Scan(folder, found, visited, order, stop);
}
