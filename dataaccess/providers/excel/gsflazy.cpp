// libgsf, opened when the first workbook is (see lazylibrary.h). It brings
// GIO, libxml2 and a dozen more libraries, which a program reading other
// sources never needs.
#include "../../lazylibrary.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-stdio.h>
#include <gsf/gsf-utils.h>

namespace {
dataaccess::LazyLibrary& gsf() {
  static dataaccess::LazyLibrary library(LUMBROOK_SONAME_gsf, "the Excel provider");
  return library;
}
}  // namespace

LUMBROOK_LAZY_FUNCTION(gsf(), void, gsf_init, (void), ())
LUMBROOK_LAZY_FUNCTION(gsf(), GsfInput*, gsf_input_stdio_new, (char const* filename, GError** err), (filename, err))
LUMBROOK_LAZY_FUNCTION(gsf(), GsfInfile*, gsf_infile_msole_new, (GsfInput * source, GError** err), (source, err))
LUMBROOK_LAZY_FUNCTION(gsf(), GsfInput*, gsf_infile_child_by_name, (GsfInfile * infile, char const* name),
                       (infile, name))
LUMBROOK_LAZY_FUNCTION(gsf(), gsf_off_t, gsf_input_size, (GsfInput * input), (input))
LUMBROOK_LAZY_FUNCTION(gsf(), guint8 const*, gsf_input_read, (GsfInput * input, size_t num_bytes, guint8* optional_buffer),
                       (input, num_bytes, optional_buffer))
// GObject comes with libgsf: its reference counting through the same handle.
LUMBROOK_LAZY_FUNCTION(gsf(), void, g_object_unref, (gpointer object), (object))
