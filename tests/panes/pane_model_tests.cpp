// The panes as models, without a window: a folder tree in memory for the disk, a watch the test
// fires by hand, and background work run when the test says. Every rule about reading,
// watching and merging is checked here, including those Wine cannot show (a folder deleted but
// held open, a watch that fails).
#include <algorithm>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/FilePane.h"
#include "app/FolderPane.h"
#include "services/ResultWindow.h"
#include "tests/support/check.h"

using namespace quorvane;

namespace {

using Names = std::vector<std::wstring>;

// What the panes asked of the disk and the watch, in order: "read X", "watch X", "unwatch X".
std::vector<std::wstring> g_log;

// A drive Q: in memory: its folders, and the files of each.
class FakeDisk final : public FolderReader {
 public:
  std::set<std::wstring> folders{L"Q:\\"};
  std::map<std::wstring, Names> files;

  void Make(const std::wstring& folder) {
    for (std::wstring path = folder; !path.empty(); path = ParentFolder(path)) folders.insert(path);
  }
  void Remove(const std::wstring& folder) {
    std::erase_if(folders, [&](const std::wstring& f) { return f == folder || f.starts_with(folder + L"\\"); });
  }

  FolderChain Chain(const std::wstring& wanted, const std::wstring& root) const override {
    g_log.push_back(L"read " + wanted);
    std::wstring current = TrimFolder(wanted);
    while (current.size() > root.size() && !folders.contains(current)) current = ParentFolder(current);
    NameList subfolders;
    for (const std::wstring& folder : folders)
      if (ParentFolder(folder) == current) subfolders.names.push_back(folder.substr(folder.find_last_of(L'\\') + 1));
    std::sort(subfolders.names.begin(), subfolders.names.end(), NameLess);
    FolderChain chain;
    chain.entries.push_back({root, root, 0});
    for (const std::wstring& name : NamesBelowRoot(current))
      chain.entries.push_back({name, JoinPath(chain.entries.back().path, name), chain.entries.back().level + 1});
    chain.current = current;
    chain.currentIndex = chain.entries.size() - 1;
    for (const std::wstring& name : subfolders.names)
      chain.entries.push_back({name, JoinPath(current, name), chain.entries.back().level + 1});
    return chain;
  }

  bool Exists(const std::wstring& folder) const override { return folders.contains(folder); }

  NameList Files(const std::wstring& folder, const std::wstring&) const override {
    g_log.push_back(L"read files " + folder);
    const auto found = files.find(folder);
    return NameList{found != files.end() ? found->second : Names{}, ERROR_SUCCESS};
  }
};

// Watches the test fires by hand, armed each by a job; a folder in `refused` cannot be watched.
class FakeWatcher final : public Watcher {
 public:
  explicit FakeWatcher(Jobs& jobs) : jobs_(jobs) {}
  std::set<std::wstring> refused;
  std::multimap<std::wstring, std::function<void(WatchEvent)>*> live;  // folder -> its watch's events

  std::unique_ptr<Watch> Start(const std::wstring& folder, std::function<void(WatchEvent)> onEvent) override {
    g_log.push_back(L"watch " + folder);
    if (refused.contains(folder)) {
      SetLastError(ERROR_INVALID_FUNCTION);
      return nullptr;
    }
    auto held = std::make_unique<Held>(*this, folder, std::move(onEvent));
    jobs_.Run([armed = std::weak_ptr<bool>(held->armed), events = &held->onEvent] {
      if (auto flag = armed.lock()) *flag = true;  // on the watcher's thread, and told a moment later
      return std::function<void()>([armed, events] { if (!armed.expired()) (*events)(WatchEvent::kArmed); });
    });
    return held;
  }
  bool Watching(const std::wstring& folder) const { return live.count(folder) == 1 && live.size() == 1; }
  void Fire(const std::wstring& folder, WatchEvent event) {
    REQUIRE(live.count(folder) == 1);
    const auto onEvent = *live.find(folder)->second;
    onEvent(event);
  }

 private:
  struct Held final : Watch {
    Held(FakeWatcher& watcher, std::wstring folder, std::function<void(WatchEvent)> onEvent)
        : watcher(watcher), folder(std::move(folder)), onEvent(std::move(onEvent)) {
      watcher.live.emplace(this->folder, &this->onEvent);
    }
    ~Held() override {
      g_log.push_back(L"unwatch " + folder);
      std::erase_if(watcher.live, [this](const auto& entry) { return entry.second == &onEvent; });
    }
    bool Armed() const override { return *armed; }
    FakeWatcher& watcher;
    std::wstring folder;
    std::function<void(WatchEvent)> onEvent;
    std::shared_ptr<bool> armed = std::make_shared<bool>(false);
  };
  Jobs& jobs_;
};

// Whether `folder` was watched before it was last read.
bool WatchedBeforeRead(const std::wstring& folder) {
  const auto watched = std::find(g_log.begin(), g_log.end(), L"watch " + folder);
  const auto read = std::find(g_log.rbegin(), g_log.rend(), L"read " + folder);
  return watched != g_log.end() && read != g_log.rend() && watched < read.base() - 1;
}

// Background work, run only when the test says.
class FakeJobs final : public Jobs {
 public:
  std::deque<std::function<std::function<void()>()>> queued;
  bool Run(std::function<std::function<void()>()> work) override {
    queued.push_back(std::move(work));
    return true;
  }
  void RunAll() {
    while (!queued.empty()) {
      auto work = std::move(queued.front());
      queued.pop_front();
      if (auto apply = work()) apply();
    }
  }
};

struct Fakes {
  FakeDisk disk;
  FakeJobs jobs;
  FakeWatcher watcher{jobs};
  Fakes() { g_log.clear(); }
  PaneServices services() { return {&disk, &watcher, &jobs}; }
};

// A list control's part, kept as a vector, checked after every edit against what the pane
// says the list shows.
class Editor final : public ListEditor {
 public:
  Names lines;
  std::vector<std::wstring> edits;
  void Clear() override {
    lines.clear();
    edits.push_back(L"clear");
  }
  bool Insert(size_t at, const std::wstring& name) override {
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), name);
    edits.push_back(L"+" + std::to_wstring(at) + L" " + name);
    return true;
  }
  void Remove(size_t at) override {
    lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(at));
    edits.push_back(L"-" + std::to_wstring(at));
  }
  void ApplyAll(FilePane& pane) {
    while (pane.Step(*this)) CHECK_EQ(lines, pane.Names());
    pane.EditsApplied();
  }
};

}  // namespace

TEST(models, a_new_read_is_merged_keeping_the_names_in_common_and_the_choice) {
  const struct {
    Names shown, read;
    const wchar_t* chosen;
    std::vector<std::wstring> edits;
    const wchar_t* chosenAfter;
  } cases[] = {
      {{L"a", L"b", L"c"}, {L"a", L"c", L"d"}, L"b", {L"-1", L"+2 d"}, L""},
      {{L"a", L"b", L"c"}, {L"a", L"b", L"c", L"d"}, L"b", {L"+3 d"}, L"b"},
      {{L"B"}, {L"a", L"B"}, L"B", {L"+0 a"}, L"B"},  // in the order of names, not of codes
      {{L"x", L"y"}, {}, L"y", {L"-0", L"-0"}, L""},
      {{}, {L"x", L"y"}, L"", {L"+0 x", L"+1 y"}, L""},
      {{L"a", L"B", L"c"}, {L"a", L"B", L"c"}, L"c", {}, L"c"},
  };
  for (const auto& c : cases) {
    Fakes fakes;
    FilePane pane(L"*.bmp", fakes.services());
    Editor editor;
    fakes.disk.files[L"Q:\\p"] = c.shown;
    pane.SetPath(L"Q:\\p");
    fakes.jobs.RunAll();
    editor.ApplyAll(pane);
    if (auto at = pane.IndexOf(c.chosen)) pane.Choose(*at);
    editor.edits.clear();

    fakes.disk.files[L"Q:\\p"] = c.read;
    pane.Refresh();
    fakes.jobs.RunAll();
    editor.ApplyAll(pane);
    CHECK_EQ(editor.edits, c.edits);
    CHECK_EQ(pane.Names(), c.read);
    CHECK_EQ(pane.FileName(), std::wstring(c.chosenAfter));
  }
}

TEST(models, a_click_in_the_middle_of_a_merge_picks_the_name_shown) {
  Fakes fakes;
  FilePane pane(L"*.bmp", fakes.services());
  Editor editor;
  fakes.disk.files[L"Q:\\p"] = {L"b", L"d"};
  pane.SetPath(L"Q:\\p");
  fakes.jobs.RunAll();
  editor.ApplyAll(pane);
  fakes.disk.files[L"Q:\\p"] = {L"a", L"c", L"d", L"e"};
  pane.Refresh();
  fakes.jobs.RunAll();
  REQUIRE(pane.Step(editor) && pane.Step(editor));  // "a" in, "b" out: the list shows a, d
  std::wstring clicked;
  pane.onClick = [&] { clicked = pane.FileName(); };
  pane.Choose(1);
  CHECK_EQ(editor.lines[1], std::wstring(L"d"));
  CHECK_EQ(clicked, std::wstring(L"d"));
  editor.ApplyAll(pane);
  CHECK_EQ(pane.FileName(), std::wstring(L"d"));
  CHECK(pane.IndexOf(L"d") == std::optional<size_t>(2));
  // A pick waiting for its folder is made once the merge is in, or is told missing.
  bool missing = false;
  pane.ChooseWhenListed(L"E");
  CHECK_EQ(pane.FileName(), std::wstring(L"e"));
  pane.ChooseWhenListed(L"gone", [&] { missing = true; });
  CHECK(missing);
  CHECK_EQ(pane.FileName(), std::wstring(L"e"));
  // Dropped a moment after it was made: a read begun before does not decide.
  pane.Refresh();
  const auto older = fakes.jobs.queued.front()();  // read, not yet shown
  fakes.jobs.queued.pop_front();
  fakes.disk.files[L"Q:\\p"].push_back(L"new");
  pane.Refresh();
  pane.ChooseWhenListed(L"new", [] { check::Fail(__FILE__, __LINE__, "told missing"); });
  pane.onEdits = [&] { editor.ApplyAll(pane); };  // at once, as the list control does
  older();
  fakes.jobs.RunAll();
  CHECK_EQ(pane.FileName(), std::wstring(L"new"));
}

TEST(models, a_folder_is_watched_before_it_is_read) {
  Fakes fakes;
  fakes.disk.Make(L"Q:\\Art\\skins");
  FolderPane pane(fakes.services());
  pane.Follow(true);
  REQUIRE(pane.SetPath(L"Q:\\Art"));
  const auto opening = fakes.jobs.queued.front();
  fakes.jobs.queued.pop_front();
  fakes.jobs.RunAll();
  CHECK_EQ(g_log, std::vector<std::wstring>{L"watch Q:\\Art"});  // read once the watch is armed
  fakes.jobs.Run(opening);
  fakes.jobs.RunAll();
  CHECK_EQ(g_log, (std::vector<std::wstring>{L"watch Q:\\Art", L"read Q:\\Art"}));
  g_log.clear();
  pane.Open(2);  // "skins"
  fakes.jobs.RunAll();
  CHECK(WatchedBeforeRead(L"Q:\\Art\\skins"));
  CHECK_EQ(pane.Path(), std::wstring(L"Q:\\Art\\skins"));
  CHECK(fakes.watcher.Watching(L"Q:\\Art\\skins"));

  // Asked for a folder that has gone, the pane shows the nearest one above, watched, then read
  // again for what changed between.
  fakes.disk.Remove(L"Q:\\Art\\skins");
  fakes.disk.Make(L"Q:\\Art\\other");
  g_log.clear();
  REQUIRE(pane.SetPath(L"Q:\\Art\\skins"));
  fakes.jobs.RunAll();
  fakes.jobs.RunAll();
  CHECK(WatchedBeforeRead(L"Q:\\Art"));
  CHECK_EQ(pane.Path(), std::wstring(L"Q:\\Art"));
  CHECK(fakes.watcher.Watching(L"Q:\\Art"));
}

TEST(models, a_vanished_folder_moves_the_pane_up_to_the_nearest_left_never_above_the_root) {
  const struct {
    const wchar_t *shown, *removed, *after;
  } cases[] = {
      {L"Q:\\Games\\skins\\red", L"Q:\\Games\\skins\\red", L"Q:\\Games\\skins"},
      {L"Q:\\Games\\skins\\red", L"Q:\\Games\\skins", L"Q:\\Games"},
      {L"Q:\\Games\\skins", L"Q:\\Games", L"Q:\\"},  // just below the root
      {L"Q:\\Games", L"Q:\\Games", L"Q:\\"},
  };
  for (const auto& c : cases) {
    Fakes fakes;
    fakes.disk.Make(c.shown);
    FolderPane pane(fakes.services());
    int changes = 0;
    pane.onChange = [&] { ++changes; };
    pane.Follow(true);
    REQUIRE(pane.SetPath(c.shown));
    fakes.jobs.RunAll();
    fakes.disk.Remove(c.removed);
    fakes.watcher.Fire(c.shown, WatchEvent::kChanged);
    fakes.jobs.RunAll();
    CHECK_EQ(pane.Path(), std::wstring(c.after));
    CHECK_EQ(changes, 2);  // the move raises the change, so the file list follows
    CHECK(fakes.watcher.Watching(c.after));
  }
}

TEST(models, a_folder_that_cannot_be_watched_is_read_on_following_and_never_in_a_loop) {
  Fakes fakes;
  fakes.disk.Make(L"Q:\\share\\skins");
  fakes.watcher.refused.insert(L"Q:\\share");
  FolderPane pane(fakes.services());
  REQUIRE(pane.SetPath(L"Q:\\share"));
  fakes.jobs.RunAll();
  g_log.clear();
  // Each time the pane starts following (its page shown, Quorvane activated): read once.
  for (int time = 0; time < 3; ++time) {
    pane.Follow(true);
    fakes.jobs.RunAll();
    pane.Follow(false);
  }
  CHECK_EQ(std::count(g_log.begin(), g_log.end(), L"read Q:\\share"), 3);
  CHECK(!pane.Watched());

  // A watch that fails later (a share that stops answering) is let go, the folder read once,
  // and nothing watches or reads it again until the pane starts following anew.
  fakes.watcher.refused.clear();
  pane.Follow(true);
  fakes.jobs.RunAll();
  REQUIRE(pane.Watched());
  g_log.clear();
  fakes.watcher.Fire(L"Q:\\share", WatchEvent::kFailed);
  fakes.jobs.RunAll();
  CHECK_EQ(g_log, (std::vector<std::wstring>{L"unwatch Q:\\share", L"read Q:\\share"}));
  CHECK(!pane.Watched() && fakes.watcher.live.empty());
  pane.Refresh();
  fakes.jobs.RunAll();
  CHECK(!pane.Watched());
  pane.Follow(false);
  pane.Follow(true);
  CHECK(pane.Watched());
}

TEST(models, a_folder_deleted_but_held_open_is_let_go_and_left_as_vanished) {
  // On Windows without POSIX delete semantics, a deleted folder lasts, unreadable, as long as
  // a handle is open on it, the watch's own or another program's: it still "exists".
  Fakes fakes;
  fakes.disk.Make(L"Q:\\Art\\skins");
  FolderPane pane(fakes.services());
  int changes = 0;
  pane.onChange = [&] { ++changes; };
  pane.Follow(true);
  REQUIRE(pane.SetPath(L"Q:\\Art\\skins"));
  fakes.jobs.RunAll();
  g_log.clear();
  fakes.watcher.Fire(L"Q:\\Art\\skins", WatchEvent::kDeletePending);
  fakes.jobs.RunAll();
  CHECK_EQ(g_log.front(), std::wstring(L"unwatch Q:\\Art\\skins"));
  CHECK_EQ(pane.Path(), std::wstring(L"Q:\\Art"));
  CHECK_EQ(changes, 2);
  CHECK(fakes.watcher.Watching(L"Q:\\Art"));
}

TEST(models, a_pane_that_does_not_follow_the_disk_holds_no_folder_open) {
  Fakes fakes;
  fakes.disk.Make(L"Q:\\Art\\skins");
  FolderPane pane(fakes.services());
  pane.Follow(true);
  REQUIRE(pane.SetPath(L"Q:\\Art\\skins"));
  fakes.jobs.RunAll();
  pane.Open(1);  // "Art", still being read when Quorvane is left
  REQUIRE(fakes.watcher.live.size() == 2);
  pane.Follow(false);
  CHECK(fakes.watcher.live.empty());
  fakes.jobs.RunAll();
  CHECK_EQ(pane.Path(), std::wstring(L"Q:\\Art"));
  CHECK(fakes.watcher.live.empty());
  // Read meanwhile (a tool of Quorvane's has ended): read, still unwatched.
  fakes.disk.Make(L"Q:\\Art\\new");
  pane.Refresh();
  fakes.jobs.RunAll();
  CHECK(fakes.watcher.live.empty());
  CHECK_EQ(pane.Entries().at(2).text, std::wstring(L"new"));
  // Back: watched first, however long its opening hangs, then read for what changed meanwhile.
  g_log.clear();
  pane.Follow(true);
  const auto opening = fakes.jobs.queued.front();
  fakes.jobs.queued.pop_front();
  fakes.jobs.RunAll();
  CHECK_EQ(g_log, std::vector<std::wstring>{L"watch Q:\\Art"});
  fakes.jobs.Run(opening);  // the share answers at last
  fakes.jobs.RunAll();
  CHECK_EQ(g_log, (std::vector<std::wstring>{L"watch Q:\\Art", L"read Q:\\Art"}));
}

TEST(models, a_folder_read_by_the_caller_is_read_again_only_if_its_watch_was_not_yet_armed) {
  // The program folder at start-up: watched ahead, then read on the interface thread.
  for (const bool armedFirst : {true, false}) {
    Fakes fakes;
    FolderPane pane(fakes.services());
    pane.Follow(true);
    pane.WatchAhead(L"Q:\\");
    const auto arm = fakes.jobs.queued.front();
    fakes.jobs.queued.pop_front();
    const auto tellArmed = armedFirst ? arm() : nullptr;  // armed, not yet told
    pane.WatchAhead(L"Q:\\");  // just before the caller's read
    REQUIRE(pane.SetListing(L"Q:\\", {}));
    (armedFirst ? tellArmed : arm())();
    fakes.jobs.RunAll();
    CHECK_EQ(g_log.size(), size_t{armedFirst ? 1u : 2u});  // the watch, and a read if not armed
  }
}

TEST(models, the_current_folder_opened_again_is_read_again_and_not_changed_to) {
  // A double-click on its own line: the file list merges a new read, as after a change on disk.
  Fakes fakes;
  FolderPane pane(fakes.services());
  REQUIRE(pane.SetPath(L"Q:\\"));
  fakes.jobs.RunAll();
  int changes = 0;
  pane.onChange = [&] { ++changes; };
  pane.onContentChange = [&] { changes += 10; };
  pane.Open(pane.CurrentIndex());
  fakes.jobs.RunAll();
  CHECK_EQ(changes, 10);
}

namespace {

// The watcher's thread, turned by hand on one folder: a root, with nothing above it to watch.
// Its reads end only when the test says, as Windows ends them, and it is deleted but held
// open when the test says.
class FakeSystem final : public WatchSystem {
 public:
  bool open = false, deletePending = false;
  std::vector<OVERLAPPED*> reads;
  HANDLE Open(const std::wstring&) override {
    open = true;
    return reinterpret_cast<HANDLE>(1);
  }
  void Close(HANDLE) override { open = false; }
  bool Read(HANDLE, void*, DWORD, DWORD, OVERLAPPED* overlapped) override {
    reads.push_back(overlapped);
    return true;
  }
  void Cancel(HANDLE, OVERLAPPED*) override {}
  bool DeletePending(HANDLE) override { return deletePending; }
  bool Wake() override { return true; }
};

struct Watched {
  FakeSystem system;
  WatchLoop loop{system};
  std::vector<WatchEvent> told;
  std::unique_ptr<Watch> watch = loop.Start(L"Q:\\", [this](WatchEvent event) { told.push_back(event); });
  Watched() { loop.Turn(nullptr, ERROR_SUCCESS, 0); }
  // Its read ends with `error`, and the burst that begins settles.
  void End(DWORD error) {
    loop.Turn(system.reads.back(), error, 1000);
    loop.Turn(nullptr, WAIT_TIMEOUT, 2000);
    RunWaitingResults();
  }
};

}  // namespace

TEST(models, the_watch_takes_each_end_of_a_read_windows_gives_for_what_it_means) {
  Watched overflow, deleted;
  overflow.End(ERROR_NOTIFY_ENUM_DIR);  // more changes than the read holds: a change
  CHECK(overflow.told.back() == WatchEvent::kChanged && overflow.system.reads.size() == 2);
  deleted.system.deletePending = true;  // deleted, and held open by the watch
  deleted.End(ERROR_SUCCESS);
  CHECK(deleted.told.back() == WatchEvent::kDeletePending && deleted.system.reads.size() == 1);
  Watched letGo;
  letGo.watch.reset();  // returns at once, its read still out: the system may still write there
  letGo.loop.Turn(nullptr, ERROR_SUCCESS, 10);
  CHECK(letGo.system.open);
  letGo.End(ERROR_OPERATION_ABORTED);
  CHECK(!letGo.system.open && letGo.told.empty());  // nothing told once let go of, not even its arming
}
