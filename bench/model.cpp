// Prints the cost of the two walks over a whole database: the fingerprint, taken by the writer
// thread and the web caches when a document was touched, and the JSON text, made when it is saved
// or answered.
#include <cstdio>

#include "model/json_text.h"
#include "large_document.h"

using namespace tollwick;
using namespace tollwick::bench;

int main() {
    const DB db = databaseShapedDocument();
    std::printf("document: 500 songs, 200 timetables x 2 channels x 12 lessons, 1000 programmes\n");
    volatile Fingerprint sink = 0;
    report("fingerprint", 200, [&] { sink = sink ^ fingerprintOf(db); });
    std::string text;
    report("to_json (JSON text)", 20, [&] { text = to_json(db); });
    std::printf("%-28s %zu bytes\n", "JSON text size", text.size());
    report("from_json (decode)", 20, [&] { (void)from_json<DB>(text); });
    return 0;
}
