#pragma once
// Whether the process log is read by systemd's journal, which stamps and ranks lines itself.
namespace tollwick {

// True when standard error is the very stream that the service manager connected to its journal and
// named in JOURNAL_STREAM ("<device>:<inode>"). False for any other stream, also when the variable
// was inherited by a process whose standard error was sent elsewhere.
bool stderrIsJournal() noexcept;

} // namespace tollwick
