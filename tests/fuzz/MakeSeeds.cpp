// Writes the fuzzer's starting corpus: archives of every shape the directory reader meets.
#include <cstdio>
#include <string>

#include "tests/fixtures/ZipWriter.h"

using namespace fixtures;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    int n = 0;
    auto save = [&](const ZipWriter& w) {
        w.Build().Save(folder + "/seed-" + std::to_string(n++) + ".zip");
    };

    ZipWriter plain;
    plain.Add(StoredEntry("readme.txt", "hello"));
    plain.Add(DeflatedEntry("docs/guide.txt", std::string(500, 'g')));
    plain.Add(FolderEntry("docs/"));
    save(plain);

    ZipWriter rich = plain;
    Entry secret = DeflatedEntry("secret.bin", "s3cret");
    secret.password = "pw";
    secret.data_descriptor = true;
    secret.comment = "entry comment";
    secret.utf8 = true;
    rich.Add(secret);
    rich.comment = "archive comment";
    save(rich);

    ZipWriter stub = plain;
    stub.stub = ProgramStub(600);
    stub.adjust_offsets = false;
    save(stub);

    ZipWriter trailing = plain;
    trailing.trailing = Bytes(40, 0);
    save(trailing);

    ZipWriter zip64 = plain;
    zip64.zip64_end = true;
    save(zip64);

    ZipWriter empty;
    save(empty);
    return 0;
}
