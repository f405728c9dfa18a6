#pragma once
// The one process log: every line is the message text alone, on standard error. When standard
// error is systemd's journal, each line begins with its syslog priority instead ("<3>" for errors,
// "<4>" warnings, "<6>" information, "<7>" debugging), so that the journal ranks it; the journal
// adds the time itself.
namespace tollwick {

// Debug level with `verbose`, info otherwise.
void configureLogging(bool verbose);

} // namespace tollwick
