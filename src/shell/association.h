// The .crp file association: the extension key names the class
// Zorv.Encryptedfile, whose icon is the executable's second icon group and
// whose open command runs the executable on the file.
#pragma once

#include <windows.h>

#include <cstddef>

namespace zorv {

constexpr char kExtensionKey[] = ".crp";
constexpr char kClassName[] = "Zorv.Encryptedfile";

// A place where file classes are registered: the key parent\prefix, or
// parent itself when prefix is "".
struct ClassesLocation {
    HKEY parent;
    const char* prefix;
};

// The two places the association is written to and looked up in. The
// program uses HKEY_CLASSES_ROOT and the current user's own classes key,
// HKEY_CURRENT_USER\Software\Classes; tests substitute keys of their own.
struct AssociationRoots {
    ClassesLocation shared;
    ClassesLocation perUser;
};

AssociationRoots DefaultAssociationRoots();

// Builds prefix\name (or name for an empty prefix) into out, of size bytes.
// False when it does not fit (out then holds "").
bool ClassesSubKey(const ClassesLocation& location, const char* name, char* out, unsigned size);

// The association's open command for executable: the path between double
// quotes, a space and "%1" in quotes, into command of size bytes. False, with
// command "" (never an unquoted path), when it does not fit.
bool BuildOpenCommand(const char* executable, char* command, std::size_t size);

// True when the default value of .crp names Zorv.Encryptedfile, compared
// case-sensitively, in the shared place or, failing that, in the per-user
// place (Windows merges the per-user classes into HKEY_CLASSES_ROOT, Wine
// does not). Keys are opened for reading only, so a standard user sees a
// machine-wide association too.
bool IsAssociated(const AssociationRoots& roots = DefaultAssociationRoots());

// on: writes the four default values of the association (.crp, the class,
// its DefaultIcon and its shell\Open\command) in the shared place; when .crp
// cannot be created there (an unelevated user under HKEY_CLASSES_ROOT), in
// the per-user place instead. False only when .crp can be created in neither
// place (or the executable's path cannot be read); nothing is written then and
// the shell is not notified. Other values and sub-keys are left in place.
// off: deletes the .crp and class key trees, whatever they hold, from both
// places wherever allowed; always true.
// Either way the shell is told that associations changed.
bool SetAssociation(bool on, const AssociationRoots& roots = DefaultAssociationRoots());

}  // namespace zorv
