// "ftpsvr.dat": whatever it holds reads back the same after being written out.
#include "FuzzInput.h"
#include "ftp/rules/ServerList.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QStringList entries = serverlist::parse(fuzzing::view(data, size).toByteArray());
    const QStringList again = serverlist::parse(serverlist::serialize(entries));
    fuzzing::require(serverlist::parse(serverlist::serialize(again)) == again, "server list does not settle");
    return 0;
}
