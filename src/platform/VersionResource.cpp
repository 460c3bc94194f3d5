#include "platform/VersionResource.h"

#include <QFile>
#include <cstring>
#include <gelf.h>
#include <libelf.h>
#include <memory>
#include <stdexcept>

namespace {

// A version block's own length field is 16-bit.
constexpr size_t kMaxBlockSize = 0xFFFF;

struct ElfCloser {
    void operator()(Elf* elf) const { elf_end(elf); }
};

[[noreturn]] void Fail(const QString& file, const QString& reason) {
    throw std::runtime_error(QStringLiteral("Cannot read the version information of \"%1\": %2")
                                 .arg(file, reason)
                                 .toStdString());
}

} // namespace

QByteArray ReadVersionResource(const QString& file) {
    QFile input(file);
    if (!input.open(QIODevice::ReadOnly))
        Fail(file, input.errorString());
    if (elf_version(EV_CURRENT) == EV_NONE)
        Fail(file, QStringLiteral("the ELF library cannot be used"));

    const std::unique_ptr<Elf, ElfCloser> elf(elf_begin(input.handle(), ELF_C_READ, nullptr));
    if (!elf || elf_kind(elf.get()) != ELF_K_ELF)
        Fail(file, QStringLiteral("it is not an executable file"));

    size_t namesIndex = 0;
    if (elf_getshdrstrndx(elf.get(), &namesIndex) != 0)
        Fail(file, QStringLiteral("its section table is damaged"));

    for (Elf_Scn* section = elf_nextscn(elf.get(), nullptr); section;
         section = elf_nextscn(elf.get(), section)) {
        GElf_Shdr header;
        if (!gelf_getshdr(section, &header))
            continue;
        const char* name = elf_strptr(elf.get(), namesIndex, header.sh_name);
        if (!name || std::strcmp(name, KORVANE_VERSION_SECTION) != 0)
            continue;
        if (header.sh_type == SHT_NOBITS)
            break;
        const Elf_Data* contents = elf_rawdata(section, nullptr);
        if (!contents || !contents->d_buf || contents->d_size == 0)
            break;
        if (contents->d_size > kMaxBlockSize)
            Fail(file, QStringLiteral("its version block is too large"));
        return QByteArray(static_cast<const char*>(contents->d_buf), qsizetype(contents->d_size));
    }
    Fail(file, QStringLiteral("it has no version information"));
}
