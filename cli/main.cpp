// lumbrook-cli: opens a data file exactly as the Lumbrook window does and
// lists, exports or edits it from the shell; also shows and changes the
// settings of the Options dialog and prints the About texts.
#include "clisession.h"
#include "commands.h"
#include "dataaccess/error.h"

#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>
#include <map>

namespace {

const char kUsage[] =
    "usage: lumbrook-cli COMMAND ARGS\n"
    "  info    PATH                          kind=, ext=, provider= of the source\n"
    "  tables  PATH                          the tables the window lists: name TAB type\n"
    "  catalog PATH                          the whole tables catalogue, tab-delimited\n"
    "  columns PATH TABLE                    the columns of TABLE, tab-delimited\n"
    "  export  PATH TABLE FORMAT OUT [--sql TEXT] [STEP...] [--print-sql]\n"
    "                                        FORMAT: xml_row, xml_ent, xml_attr, txt_tab, txt_comma\n"
    "                                        STEP, run in order as the toolbar does:\n"
    "                                          --filter ROW:FIELD[:SELECTED TEXT]  filter by selection\n"
    "                                          --sort F, --sort-desc F             sort by F\n"
    "                                          --sort-add F, --sort-add-desc F     further sort key (Ctrl)\n"
    "                                          --remove-filter                     remove the filter\n"
    "                                        --print-sql prints the final SQL text\n"
    "  edit    PATH TABLE ROW FIELD=VALUE... change a record (1-based ROW) and save it\n"
    "  report  PATH TABLE [--pdf OUT.pdf]    write the report files (and a PDF of every\n"
    "                                        report page); prints their paths\n"
    "  options [--encoding TEXT] [--rows-on-page TEXT]\n"
    "          [--text-format TEXT] [--show-splash 0|1]\n"
    "                                        print the settings of the Options dialog\n"
    "                                        (caption TAB value); the options change and\n"
    "                                        save them first, as the dialog's Apply does\n"
    "  about                                 the About window's texts: product, version,\n"
    "                                        platform, copyright, company (also: version,\n"
    "                                        --version)\n"
    "A saved recordset (.xml) has no tables: give - as TABLE.\n";

int usage(const QString& problem) {
  if (!problem.isEmpty()) std::fprintf(stderr, "lumbrook-cli: %s\n", problem.toLocal8Bit().constData());
  std::fputs(kUsage, stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QStringList args = QCoreApplication::arguments().mid(1);
  if (args.isEmpty()) return usage({});
  const QString command = args.takeFirst();
  using Runner = int (*)(const QStringList&, QTextStream&);
  const std::map<QString, Runner> commands = {
      {QStringLiteral("info"), cli::runInfo},       {QStringLiteral("tables"), cli::runTables},
      {QStringLiteral("catalog"), cli::runCatalog}, {QStringLiteral("columns"), cli::runColumns},
      {QStringLiteral("export"), cli::runExport},   {QStringLiteral("edit"), cli::runEdit},
      {QStringLiteral("report"), cli::runReport},   {QStringLiteral("options"), cli::runOptions},
      {QStringLiteral("about"), cli::runAbout},     {QStringLiteral("version"), cli::runAbout},
      {QStringLiteral("--version"), cli::runAbout},
  };
  const auto it = commands.find(command);
  if (it == commands.end()) return usage(QStringLiteral("unknown command '%1'").arg(command));

  QTextStream out(stdout);
  try {
    const int rc = it->second(args, out);
    out.flush();
    return rc;
  } catch (const cli::UsageError& e) {
    out.flush();
    return usage(e.what);
  } catch (const cli::AlreadyReported&) {
    out.flush();
    return 1;
  } catch (const dataaccess::Error& e) {
    out.flush();
    std::fprintf(stderr, "%s\n", e.message().toLocal8Bit().constData());
    return 1;
  } catch (const std::exception& e) {
    out.flush();
    std::fprintf(stderr, "%d: %s\n", dataaccess::err::kProviderFailure, e.what());
    return 1;
  }
}
