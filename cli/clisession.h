// What lumbrook-cli needs to open a source exactly as the window does: a
// prompts implementation that prints to stderr, and a source view that only
// remembers what OpenSource handed it.
#pragma once

#include "viewer/datasource/sourceview.h"
#include "viewer/prompts.h"

#include <memory>

namespace cli {

class StderrPrompts : public viewer::Prompts {
 public:
  int message(const QString& text, Icon icon, int buttons, const QString& title) override;
  QString fileDialog(FileDialogRequest& request) override;
  // How many messages were shown: an open that failed has already told the
  // user why.
  int shown() const { return shown_; }

 private:
  int shown_ = 0;
};

class RecordingView : public viewer::SourceView {
 public:
  void OpenDB(std::shared_ptr<dataaccess::Connection> cna, const QString& ext) override;
  QString dataSourceKind() const override { return ext_; }
  void setCaption(const QString&) override {}
  const std::shared_ptr<dataaccess::Connection>& connection() const { return connection_; }

 private:
  std::shared_ptr<dataaccess::Connection> connection_;
  QString ext_;
};

// Raised when an open failed and its message was already printed.
struct AlreadyReported {};

// Opens `path` through the viewer's start-up (settings, OpenSource), with
// the prompts and view above installed. Throws dataaccess::Error when the
// path opens nothing silently (missing, hidden, unknown kind), and
// AlreadyReported when opening showed its own message.
class Session {
 public:
  explicit Session(const QString& path);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // The data-source kind text (lower-cased extension).
  QString ext() const { return view_.dataSourceKind(); }
  std::shared_ptr<dataaccess::Connection> connection() const;
  bool isPersistedRecordset() const;

 private:
  void open(const QString& path);
  void release();

  StderrPrompts prompts_;
  RecordingView view_;
};

}  // namespace cli
