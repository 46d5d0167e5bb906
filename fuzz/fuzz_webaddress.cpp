// The browser view's address rules: an address as typed, and a fetched body's kind and
// text from its Content-Type, its address and its bytes (three fields, NUL-separated).
#include "FuzzInput.h"
#include "platform/WebAddress.h"

#include <QUrl>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    namespace web = platform::webaddress;
    const QList<QByteArray> parts = fuzzing::fields(fuzzing::view(data, size), 3);
    const QString address = QString::fromUtf8(parts[0]);
    const web::Target target = web::resolve(address);
    if (target.kind == web::Kind::Web)
        fuzzing::require(web::isWebUrl(target.url), "web target that is no web address");
    const QUrl url(address);
    const QUrl tolerant(address, QUrl::TolerantMode);
    const web::Content content = web::classify(parts[1], url, parts[2]);
    (void)web::classify(parts[1], tolerant, parts[2]);
    (void)web::decodeText(parts[2], parts[1], content == web::Content::Html);
    // A web page never reaches local files, whatever a link of it says.
    const QUrl page(QStringLiteral("http://example.com/dir/page.htm"));
    const QUrl resource = page.resolved(url);
    if (resource.isLocalFile())
        fuzzing::require(!web::mayLoad(page, resource), "web page reaches a local file");
    return 0;
}
