// The listing parser on any listing: LIST or MLSD, UTF-8 or CP932 names, cut anywhere.
// The first byte picks the form and the encoding, the second the cuts.
#include "FuzzInput.h"
#include "ftp/component/ListingParser.h"
#include "ftp/component/NameCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const auto format = (data[0] & 1) ? ftp::ListingFormat::Mlsd : ftp::ListingFormat::List;
    ftp::NameCodec codec;
    codec.setUtf8((data[0] & 2) != 0);
    ftp::ListingParser parser(format, [&codec](QByteArrayView line) { return codec.decode(line); });
    for (const QByteArrayView chunk : fuzzing::chunks(fuzzing::view(data + 1, size - 1)))
        parser.feed(chunk);
    parser.finish();
    for (const ftp::ListEntry& entry : parser.entries()) {
        fuzzing::require(!entry.name.isEmpty(), "entry without a name");
        fuzzing::require(!entry.name.contains(u'\n'), "line end inside a name");
        // A name shown from a listing goes back to the server in the same encoding.
        (void)codec.encode(entry.name);
    }
    return 0;
}
