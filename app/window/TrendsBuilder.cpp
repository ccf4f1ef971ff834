#include "app/window/TrendsBuilder.h"

#include <utility>

#include "app/store/ActivityStore.h"

namespace {

struct BuildItem : ListItem {
  TrendRequest request;
  HWND window = nullptr;
  UINT message = 0;
  unsigned ticket = 0;
};

}  // namespace

int TrendsBuilder::Start(ActivityStore& store) {
  store_ = &store;
  return worker_.Start(Handle, this);
}

int TrendsBuilder::Request(const TrendRequest& request, HWND window, UINT message, unsigned ticket) {
  BuildItem* item = new BuildItem;
  item->request = request;
  item->window = window;
  item->message = message;
  item->ticket = ticket;
  {
    SectionLock hold(lock_);
    newest_ = ticket;
    done_ = false;
  }
  if (worker_.Post(item)) return 1;
  delete item;
  return 0;
}

int TrendsBuilder::Take(unsigned ticket, int& read, TrendFigures& figures, WideString& problem) {
  SectionLock hold(lock_);
  if (!done_ || newest_ != ticket) return 0;
  done_ = false;
  read = read_;
  figures = std::move(figures_);
  figures_ = TrendFigures();
  problem.Assign(problem_);
  return 1;
}

int TrendsBuilder::Stop(DWORD limitMs) { return worker_.Stop(limitMs); }

DWORD TrendsBuilder::Handle(int phase, ListItem* item, void* self) {
  if (phase == PhaseItem) static_cast<TrendsBuilder*>(self)->Run(item);
  return 1;
}

void TrendsBuilder::Run(ListItem* listItem) {
  const BuildItem* item = static_cast<const BuildItem*>(listItem);
  {
    SectionLock hold(lock_);
    if (item->ticket != newest_) return;  // overtaken: its page waits for the newer one
  }
  TrendFigures figures;
  WideString problem;
  const int read = ReadTrendFigures(*store_, item->request, figures, problem);
  {
    SectionLock hold(lock_);
    if (item->ticket != newest_) return;
    read_ = read;
    figures_ = std::move(figures);
    problem_.Assign(problem);
    done_ = true;
  }
  PostMessageW(item->window, item->message, item->ticket, 0);
}
