#include "clisession.h"

#include "dataaccess/error.h"
#include "viewer/datasource/opening.h"
#include "viewer/datasource/paths.h"
#include "viewer/datasource/sourcestate.h"

#include <QFileInfo>
#include <cstdio>

namespace cli {

using dataaccess::Error;

int StderrPrompts::message(const QString& text, Icon, int buttons, const QString&) {
  ++shown_;
  std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
  const int set = buttons & 0xF;
  const bool second = buttons & DefaultButton2;
  if (set == YesNo || set == YesNoCancel) return second ? No : Yes;
  if (set == OkCancel) return second ? Cancel : Ok;
  return Ok;
}

QString StderrPrompts::fileDialog(FileDialogRequest&) { return {}; }

void RecordingView::OpenDB(std::shared_ptr<dataaccess::Connection> cna, const QString& ext) {
  connection_ = std::move(cna);
  ext_ = ext;
}

Session::Session(const QString& path) {
  viewer::setPrompts(&prompts_);
  viewer::setSourceViewFactory([this] { return &view_; });
  try {
    open(path);
  } catch (...) {
    release();
    throw;
  }
}

void Session::open(const QString& path) {
  viewer::Main(path);
  if (prompts_.shown() > 0) throw AlreadyReported{};
  const viewer::SourceState& s = viewer::state();
  if (s.CurrentConnection || isPersistedRecordset()) return;
  // The window shows an empty catalogue here; on the command line say why.
  const QFileInfo info(s.CurrentPath);
  if (!info.exists() || !info.isFile() || viewer::IsHiddenName(s.CurrentPath))
    throw Error(53, QStringLiteral("lumbrook-cli"), QStringLiteral("File not found: '%1'").arg(s.CurrentPath));
  throw Error(dataaccess::err::kAppBase, QStringLiteral("lumbrook-cli"),
              QStringLiteral("'%1' is not a kind of file Lumbrook opens").arg(s.CurrentPath));
}

Session::~Session() { release(); }

void Session::release() {
  viewer::state().CurrentConnection.reset();
  viewer::setSourceViewFactory({});
  viewer::setPrompts(nullptr);
}

std::shared_ptr<dataaccess::Connection> Session::connection() const { return viewer::state().CurrentConnection; }

bool Session::isPersistedRecordset() const {
  return viewer::state().SourceKind == viewer::kind::PersistedRecordset && ext() == QLatin1String("xml");
}

}  // namespace cli
