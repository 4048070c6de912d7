// The document factory and the two loaders behind Convertor's XMLObject,
// LoadXML_FromString and LoadXML_FromFile, plus the file test they share
// with ADOXML_2_StandardXML.
#pragma once

#include "quillonglobal.h"
#include "xmldocument.h"

#include <QString>
#include <memory>

namespace quillon {

// A new, empty document. Raises errXMLVersionFailed (source
// "mXML.CreateXMLObject", no description) only if none can be made.
QUILLON_EXPORT std::unique_ptr<XMLDocument> CreateXMLObject();

// Parses `text`. Empty text gives no document and no error; text that does
// not parse raises errXMLload ("mXML.LoadXML"), translated.
QUILLON_EXPORT std::unique_ptr<XMLDocument> LoadXMLFromString(const QString& text);

// Loads the file `path`, resolved by ResolveLibraryPath. An empty path gives
// no document and no error; no matching file raises errFilePathFailed, a
// file that does not parse errXMLload (both "mXML.LoadXML", translated).
QUILLON_EXPORT std::unique_ptr<XMLDocument> LoadXMLFromFile(const QString& path);

// A path that does not begin with "/" is relative to the folder that holds
// libquillon.so; one leading "\" or "/" of such a path is not doubled.
QUILLON_EXPORT QString ResolveLibraryPath(const QString& path);

// The plain file search: true when some file matches `path`, whose last
// part may hold the wildcards "*" and "?". Regular files match (also through
// a symbolic link); hidden files (names beginning with "."), folders and
// anything else do not.
QUILLON_EXPORT bool FileMatches(const QString& path);

}  // namespace quillon
