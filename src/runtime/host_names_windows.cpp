#include <windows.h>

#include "runtime/host_names.h"
#include "runtime/wide_text.h"

namespace tollwick {

namespace {

std::string computerName(COMPUTER_NAME_FORMAT format) {
    DWORD size = 0;
    ::GetComputerNameExW(format, nullptr, &size); // asks for the size, the terminating zero included
    if (size == 0)
        return {};
    std::wstring name(size, L'\0');
    if (!::GetComputerNameExW(format, name.data(), &size))
        return {};
    name.resize(size);
    return narrow(name);
}

} // namespace

std::vector<std::string> hostNamesOfThisMachine() {
    std::vector<std::string> names;
    const std::string host = computerName(ComputerNameDnsHostname);
    if (host.empty())
        return names;
    names.push_back(host);
    // The fully qualified name is the host name where the machine is in no DNS domain.
    if (const std::string full = computerName(ComputerNameDnsFullyQualified); !full.empty() && full != host)
        names.push_back(full);
    return names;
}

} // namespace tollwick
