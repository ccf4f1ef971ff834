#include "app/window/StoreNotice.h"

#include "core/SystemErrorText.h"

namespace {

// A file left where it is: nothing is stored this time.
void DescribeUnusedFile(const wchar_t* path, const StoreOpening& opening, WideString& notice) {
  WideString reason, problem;
  if (opening.outcome == StoreLeftAlone && opening.systemError) SystemErrorText(opening.systemError, reason);
  if (opening.outcome == StoreNotReady) {
    problem.Assign(opening.state == StoreFileMissing ? L"could not be made" : L"could not be prepared for new runs");
  } else if (opening.state == StoreFileInUse || reason.IsEmpty()) {
    problem.Assign(opening.problem.IsEmpty() ? L"could not be opened" : opening.problem.CStr());
  } else {
    problem.Format(L"%s (%s)", opening.problem.CStr(), reason.CStr());
  }
  const wchar_t* after = opening.state == StoreFileInUse
                             ? L"Downloaded runs cannot be stored until that program closes it and Pellton is started "
                               L"again."
                             : L"Downloaded runs cannot be stored.";
  notice.Format(L"The file %s %s. %s", path, problem.CStr(), after);
}

// A file that should have gone aside but could not be moved.
void DescribeUnmovedFile(const wchar_t* path, const StoreOpening& opening, WideString& notice) {
  WideString reason;
  SystemErrorText(opening.systemError, reason);
  notice.Format(L"The file %s %s and could not be moved aside (%s). It is left as it is; downloaded "
                L"runs cannot be stored until it is moved or deleted.",
                path, opening.problem.CStr(), reason.CStr());
}

void DescribeMovedFile(const wchar_t* path, const StoreOpening& opening, WideString& notice) {
  WideString what;
  if (!opening.opened) {
    what.Assign(L"A new one could not be made: downloaded runs cannot be stored.");
  } else if (opening.rescued.copyError) {
    WideString reason;
    SystemErrorText(opening.rescued.copyError, reason);
    what.Format(L"A new, empty %s was begun: the runs in the old file could not be copied (%s).",
                ActivityStore::FileName, reason.CStr());
  } else if (opening.rescued.unstored) {
    // The disk refused them: the old file is where they still are.
    what.Format(L"A new %s was begun with %u runs; %u more runs read from the old file could not be written into "
                L"it and are still in the old file only.",
                ActivityStore::FileName, opening.rescued.copied, opening.rescued.unstored);
  } else if (opening.rescued.copied == 0) {
    what.Format(L"A new, empty %s was begun: no run could be read from the old file.", ActivityStore::FileName);
  } else if (opening.rescued.cut || opening.rescued.refused) {
    what.Format(L"A new %s was begun with the %u runs that could still be read; the damaged part could not be read.",
                ActivityStore::FileName, opening.rescued.copied);
  } else {
    what.Format(L"A new %s was begun with all %u runs it held.", ActivityStore::FileName, opening.rescued.copied);
  }
  notice.Format(L"The file %s %s. It was moved to %s and is kept there unchanged. %s", path,
                opening.problem.CStr(), opening.asidePath.CStr(), what.CStr());
}

// Nothing can be written where the file is: what cannot be written and
// why, whether its runs are shown, and how to get them stored.
void DescribeReadOnly(const wchar_t* path, const StoreOpening& opening, WideString& notice) {
  WideString reason, folder, what, shown;
  SystemErrorText(opening.systemError, reason);
  folder.Assign(path);
  folder.Left(folder.FindLastChar(L'\\'));
  if (opening.fileItself) {
    what.Format(L"The file %s cannot be written (%s).", path, reason.CStr());
  } else {
    what.Format(L"Pellton cannot write in the folder %s (%s).", folder.CStr(), reason.CStr());
  }
  WideString unshown;
  if (opening.copyError) {
    WideString copyReason;
    SystemErrorText(opening.copyError, copyReason);
    unshown.Format(L"could not be copied to be read (%s)", copyReason.CStr());
  } else if (!opening.problem.IsEmpty()) {
    unshown.Assign(opening.problem);
  } else if (!opening.opened) {
    unshown.Assign(L"could not be read");
  }
  if (!opening.fileExists) {
    shown.Assign(L"Downloaded runs cannot be stored.");
  } else if (!unshown.IsEmpty()) {
    shown.Format(L"The runs stored in %s cannot be shown either: it %s. Downloaded runs cannot be stored.", path,
                 unshown.CStr());
  } else {
    shown.Format(L"The runs stored in %s are shown, but downloaded runs cannot be stored.", path);
  }
  WideString remedy;
  if (opening.fileItself) {
    remedy.Assign(L"To store them, make the file writable (clear its read-only attribute or change its permissions) "
                  L"and start Pellton again.");
  } else {
    remedy.Format(L"To store them, close Pellton, move the program%s%s into a folder of your own (for example in "
                  L"Documents) and start it from there.",
                  opening.fileExists ? L" together with " : L"", opening.fileExists ? ActivityStore::FileName : L"");
  }
  notice.Format(L"%s %s %s", what.CStr(), shown.CStr(), remedy.CStr());
}

}  // namespace

int DescribeStoreOpening(const wchar_t* path, const StoreOpening& opening, WideString& notice) {
  notice.Assign(L"");
  if (!path) path = L"";
  switch (opening.outcome) {
    case StoreOpenedAsFound:
      return 0;
    case StoreLeftAlone:
    case StoreNotReady:
      DescribeUnusedFile(path, opening, notice);
      break;
    case StoreNotMoved:
      DescribeUnmovedFile(path, opening, notice);
      break;
    case StoreMovedAside:
      DescribeMovedFile(path, opening, notice);
      break;
    case StoreReadOnly:
      DescribeReadOnly(path, opening, notice);
      break;
  }
  return 1;
}
