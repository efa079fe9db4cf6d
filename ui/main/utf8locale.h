#pragma once

// Qt reads text through the C library and needs its character type to be
// UTF-8. Under the C or POSIX locale (LANG=C, or no locale set, as on a bare
// system or in a service) Qt switches to C.UTF-8 itself, but says so on
// standard error, so not even `lexivorn --version` would run quietly. This
// makes the same switch, silently, through the environment Qt reads; call it
// before Qt starts. C.UTF-8 collates as C does, so the order of the list does
// not change.
void replaceCLocaleByCUtf8();
