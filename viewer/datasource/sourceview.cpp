#include "sourceview.h"

namespace viewer {

SourceView::~SourceView() = default;

namespace {
SourceViewFactory viewFactory;
SourceView* currentView = nullptr;
}  // namespace

void setSourceViewFactory(SourceViewFactory factory) {
  viewFactory = std::move(factory);
  currentView = nullptr;
}

SourceView* sourceView() {
  if (!currentView && viewFactory) currentView = viewFactory();
  return currentView;
}

void sourceViewClosed() { currentView = nullptr; }

}  // namespace viewer
