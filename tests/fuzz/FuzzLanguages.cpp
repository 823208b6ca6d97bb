// Reads arbitrary bytes as the program's language resource 11610, which anyone can attach to
// the program: the block loader, the lookup of rows and the walk over the languages must end
// in texts or the built-in language, never a crash, a leak or undefined behaviour.
#include <cstddef>
#include <cstdint>
#include <string>

#include "archive/Zbmsgstr.h"

namespace {

// Rows of every kind: the first and last of the table, a format, a stage name, and ids that
// no table has.
const int32_t kIds[] = {10096, 10101, 10102, 10113, 10126, 10504, 11051,    11409,
                        11454, 0,     -1,    65535, 10000, 99999, INT32_MAX};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    size_t seen = 0;
    // The block loader and the lookup, block after block as the walk reads them.
    archive::ByteSource source(data, size);
    archive::MessageTable table;
    for (int blocks = 0; blocks < 64 && source.Remaining() > 0; ++blocks) {
        if (archive::LoadMessageBlock(source, table) == 0) break;
        for (int32_t id : kIds) seen += archive::LookUpMessage(table, id).size();
    }
    // The catalog with these bytes as its resource: the language walk, and every way of
    // selecting a language.
    const platform::ResourceBytes resource{data, size};
    archive::MessageCatalog catalog(archive::BuiltInMessageBlock(),
                                    [&](platform::ResourceBytes& out) {
                                        out = resource;
                                        return true;
                                    });
    for (int index = 0; index <= 8; ++index)
        for (int info : {0, -1, 2, 3}) seen += catalog.LanguageInfo(index, info).size();
    for (const char* request : {"VN", " de: Deutsch", "1066", "1031", "42", "7", "*", "US", ""}) {
        seen += catalog.Select(request).size() + catalog.LanguageName().size();
        for (int32_t id : kIds) seen += catalog.Load(id).size();
    }
    return seen == SIZE_MAX ? 1 : 0;
}
