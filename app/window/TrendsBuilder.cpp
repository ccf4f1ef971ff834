#include "app/window/TrendsBuilder.h"

#include <utility>

#include "app/store/ActivityStore.h"

namespace {

struct BuildItem : ListItem {
  TrendRequest request;
  HWND window = nullptr;
  UINT message = 0;
  unsigned ticket = 0;
  TrendsBuilder* builder = nullptr;
};

}  // namespace

// How long the figures' page has to go without a new request before the
// check for runs changed in place begins: it waits out the requests that
// opening the window and its first downloads make.
const DWORD kCheckAfterMs = 1000;

int TrendsBuilder::Start(ActivityStore& store) {
  store_ = &store;
  stopping_ = false;
  wake_.Create(Event::AutoReset, Event::StartsUnsignalled);
  return worker_.Start(Handle, this);
}

int TrendsBuilder::Request(const TrendRequest& request, HWND window, UINT message, unsigned ticket) {
  BuildItem* item = new BuildItem;
  item->request = request;
  item->window = window;
  item->message = message;
  item->ticket = ticket;
  item->builder = this;
  {
    SectionLock hold(lock_);
    newest_ = ticket;
    done_ = false;
  }
  wake_.Set();
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

int TrendsBuilder::Stop(DWORD limitMs) {
  {
    SectionLock hold(lock_);
    stopping_ = true;
  }
  wake_.Set();
  return worker_.Stop(limitMs);
}

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
  wake_.Reset();  // set again by a newer request or Stop
  TrendFigures figures;
  WideString problem;
  bool checkLeft = false;
  unsigned long long changes = 0;
  int read = ReadTrendFigures(*store_, item->request, figures, problem, &checkLeft, &changes);
  if (!Publish(*item, read, figures, problem) || !read || !checkLeft) return;
  // The figures are shown; the check for runs changed in place follows
  // once no request came for a moment, and figures it corrects are posted
  // for the same ticket. A newer request stops it, and goes on with it
  // after its own figures.
  // A Stop or request that came before the wake was reset is seen here.
  if (!StillNewest(const_cast<BuildItem*>(item)) || wake_.Wait(kCheckAfterMs)) return;
  bool changed = false;
  read = CheckTrendFigures(*store_, item->request, figures, changed, problem, StillNewest,
                           const_cast<BuildItem*>(item), changes);
  // A check that failed leaves the figures shown as they are: the next
  // read makes it again.
  if (read && changed) Publish(*item, read, figures, problem);
}

bool TrendsBuilder::StillNewest(void* item) {
  BuildItem* build = static_cast<BuildItem*>(item);
  SectionLock hold(build->builder->lock_);
  return build->ticket == build->builder->newest_ && !build->builder->stopping_;
}

bool TrendsBuilder::Publish(const ListItem& listItem, int read, TrendFigures& figures, const WideString& problem) {
  const BuildItem& item = static_cast<const BuildItem&>(listItem);
  {
    SectionLock hold(lock_);
    if (item.ticket != newest_) return false;
    read_ = read;
    figures_ = std::move(figures);
    problem_.Assign(problem);
    done_ = true;
  }
  PostMessageW(item.window, item.message, item.ticket, 0);
  return true;
}
