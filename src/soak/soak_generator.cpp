#include "soak/soak_generator.h"

#include <algorithm>
#include <climits>

#include "store/records.h"

namespace vellumine::soak {

// Calls that drive every table to its limit and a few past it, one table
// after the other: the window list without a wallpaper, link menus, the
// links of one menu, wallpapers, the current wallpaper's window list, and
// memos last (each memo command draws every memo window). done() answers
// when every table has been pushed past its limit.
Call Generator::NextFill(const Session& session) {
  const ControlState& s = session.state();
  Fill fill = kFills;
  for (const Fill f : {kGlobalWindows, kMenus, kLinks, kWallPapers, kWallWindows, kMemos}) {
    if (pushed_[f] < kPast) {
      fill = f;
      break;
    }
  }
  if (fill == kFills) return Next(session);
  const auto at_limit = [&](std::size_t size, int limit) {
    if (static_cast<int>(size) >= limit) ++pushed_[fill];
  };
  Call c;
  switch (fill) {
    case kMemos:
      at_limit(s.memos.size(), kMaxMemos);
      c.method = M::AddMemo;
      c.t = {u"Memo " + Num(fill_count_++), u"m"};
      break;
    case kMenus:
      at_limit(s.menus.size(), kMaxLinkMenus);
      c.method = M::MakeLinkMenu;
      c.t = {u"menu " + Num(fill_count_++)};
      c.n = {-1};
      break;
    case kLinks:
      at_limit(s.menus.empty() ? 0 : s.menus[0].links.size(), kMaxLinks);
      c.method = M::AddLink;
      c.t = {session.FillPicture(s.menus.empty() ? 0 : s.menus[0].links.size() + 1)};
      c.n = {0};
      break;
    case kWallPapers:
      at_limit(s.wallpapers.size(), kMaxWallPapers);
      c.method = M::AddWallPaper;
      c.t = {session.FillPicture(s.wallpapers.size() + 1)};
      break;
    case kFills:
      break;
    case kGlobalWindows:
    case kWallWindows: {
      const bool wall = fill == kWallWindows;
      const WallPaperEntry* current =
          s.current_wallpaper >= 0 &&
                  static_cast<std::size_t>(s.current_wallpaper) < s.wallpapers.size()
              ? &s.wallpapers[static_cast<std::size_t>(s.current_wallpaper)]
              : nullptr;
      if (wall && current == nullptr) {
        c.method = M::SetBG;
        c.n = {0};
        break;
      }
      at_limit(wall ? current->windows.size() : s.windows.size(), kMaxWindows);
      c.method = M::SetWndPos;
      c.t = {u"w" + Num(fill_count_++)};
      c.n = {Range(0, 800), Range(0, 600), 1};
      break;
    }
  }
  return c;
}

bool Generator::done() const {
  return std::all_of(pushed_.begin(), pushed_.end(), [](int n) { return n >= kPast; });
}

Call Generator::Next(const Session& session) {
  const ControlState& s = session.state();
  Call c;
  c.method = PickMethod(s);
  const std::int32_t walls = static_cast<std::int32_t>(s.wallpapers.size());
  const std::int32_t menus = static_cast<std::int32_t>(s.menus.size());
  const std::int32_t memos = static_cast<std::int32_t>(s.memos.size());
  auto links_of = [&](std::int32_t menu) -> std::int32_t {
    if (menu < 0 || menu >= menus) return 0;
    return static_cast<std::int32_t>(s.menus[menu].links.size());
  };
  switch (c.method) {
    case M::SetBG_Random:
    case M::InitPage:
      break;
    case M::SetCalender:
      c.n = {Year(), Month()};
      break;
    case M::AddWallPaper:
      c.t = {Path(session)};
      break;
    case M::RemoveWallPaper:
    case M::SetBG:
      c.n = {Index(walls)};
      break;
    case M::SetWndPos:
      c.t = {WindowName(s, c)};
      c.n = {Coordinate(), Coordinate(), OneOf<std::int32_t>({0, 1, 1, 0, 2, -1})};
      break;
    case M::ChangeOption:
      c.t = {OneOf<TextArg>({u"MenuTextColor", u"WeekDayColor", u"SatDayColor", u"SunDayColor",
                             u"ShadowColor", u"CalenderFont", u"CalenderFontSize", u"LinkItemNum",
                             u"MemoItemNum", u"MenuFont", u"MenuFontSize", u"Bogus", std::nullopt,
                             u"", u"MenuFontSizeX"})};
      c.n = {Step()};
      c.font = Font();
      break;
    case M::OpenFile:
    case M::OpenFolder:
      if (Chance(0.8)) c.pick = Path(session);
      break;
    case M::AddLink: {
      const std::int32_t m = Index(menus);
      c.t = {Path(session)};
      c.n = {m};
      break;
    }
    case M::ChangeLink: {
      const std::int32_t m = Index(menus);
      c.t = {Path(session)};
      c.n = {Index(links_of(m)), m};
      break;
    }
    case M::RemoveLink: {
      const std::int32_t m = Index(menus);
      c.n = {Index(links_of(m)), m};
      break;
    }
    case M::Open: {
      const std::int32_t m = Index(menus);
      c.n = {m, Index(links_of(m))};
      break;
    }
    case M::ChangeLinkPage: {
      const std::int32_t m = Index(menus);
      c.n = {m, Index(4)};
      break;
    }
    case M::ChangeDate:
      c.n = Date();
      break;
    case M::ChangeSchedule:
      c.t = {Text()};
      c.n = Date();
      break;
    case M::AddMemo:
      c.t = {Text(), Text()};
      break;
    case M::RenewMemo:
      c.t = {Text(), Text()};
      c.n = {Index(memos)};
      break;
    case M::RemoveMemo:
    case M::EditMemo:
      c.n = {Index(memos)};
      break;
    case M::ChangeMemoPage:
      c.n = {Index(4)};
      break;
    case M::MakeLinkMenu:
      c.t = {Text()};
      c.n = {Chance(0.5) ? -1 : Index(menus)};
      break;
    case M::ChangeLinkMenu:
      c.n = {Index(menus)};
      break;
    case M::RemoveLinkMenu:
      c.n = {Index(menus)};
      c.answer = Chance(0.6) ? Answer::kYes : Answer::kNo;
      break;
    case M::PermuteLink: {
      const std::int32_t m = Index(menus);
      c.n = {Index(links_of(m)), Index(links_of(m)), m};
      break;
    }
    case M::ChangeWindowOption:
      c.t = {WindowName(s, c), OneOf<TextArg>({u"TextColor", u"ItemNum", u"Font", u"FontSize",
                                               u"Default", u"DefaultX", u"Bogus", std::nullopt})};
      c.n = {Step()};
      c.font = Font();
      break;
    case M::kCount:
      break;
  }
  return c;
}

std::int32_t Generator::Range(std::int32_t lo, std::int32_t hi) {
  return std::uniform_int_distribution<std::int32_t>(lo, hi)(rng_);
}

template <typename T>
T Generator::OneOf(std::initializer_list<T> values) {
  return *(values.begin() + Range(0, static_cast<std::int32_t>(values.size()) - 1));
}

M Generator::PickMethod(const ControlState& s) {
  // Weights keep the tables moving both ways around a working size.
  std::vector<double> w(static_cast<std::size_t>(M::kCount), 1.0);
  auto set = [&](M m, double v) { w[static_cast<std::size_t>(m)] = v; };
  set(M::AddMemo, s.memos.size() < 16 ? 4 : 0.5);
  set(M::RenewMemo, 2);
  set(M::RemoveMemo, s.memos.size() > 12 ? 3 : 1);
  set(M::MakeLinkMenu, s.menus.size() < 8 ? 3 : 0.5);
  set(M::RemoveLinkMenu, s.menus.size() > 6 ? 1.5 : 0.3);
  set(M::AddLink, 8);
  set(M::ChangeLink, 2);
  set(M::RemoveLink, 2);
  set(M::PermuteLink, 2);
  set(M::AddWallPaper, s.wallpapers.size() < 8 ? 3 : 1);
  set(M::RemoveWallPaper, s.wallpapers.size() > 5 ? 2 : 0.7);
  set(M::SetBG, 2);
  set(M::SetWndPos, 4);
  set(M::ChangeOption, 3);
  set(M::ChangeWindowOption, 4);
  set(M::ChangeSchedule, 2);
  set(M::InitPage, 0.3);
  std::discrete_distribution<int> pick(w.begin(), w.end());
  return static_cast<M>(pick(rng_));
}

// Mostly a valid position, sometimes one just outside, sometimes far out.
std::int32_t Generator::Index(std::int32_t count) {
  const int r = Range(0, 99);
  if (r < 65 && count > 0) return Range(0, count - 1);
  if (r < 75) return -1;
  if (r < 83) return count;
  if (r < 88) return count + Range(1, 5);
  if (r < 92) return INT32_MIN;
  if (r < 96) return INT32_MAX;
  return Range(INT32_MIN, -2);
}

std::int32_t Generator::Step() {
  return OneOf<std::int32_t>({1, 1, -1, -1, 0, 2, -2, 5, 19, -20, 100, INT32_MAX, INT32_MIN});
}

std::int32_t Generator::Coordinate() {
  if (Chance(0.9)) return Range(-50, 1200);
  return OneOf<std::int32_t>({INT32_MIN, INT32_MAX, -100000});
}

std::int32_t Generator::Year() {
  if (Chance(0.85)) return Range(2024, 2028);
  return OneOf<std::int32_t>({0, 1979, 1980, -1, 99999, INT32_MAX, INT32_MIN});
}

std::int32_t Generator::Month() {
  if (Chance(0.85)) return Range(1, 12);
  return OneOf<std::int32_t>({0, 13, -1, INT32_MAX, INT32_MIN});
}

std::vector<std::int32_t> Generator::Date() {
  // A small set of real dates, so that schedules are written, read and
  // deleted again; sometimes nonsense.
  if (Chance(0.85)) return {2026, OneOf<std::int32_t>({11, 12}), Range(1, 8)};
  return {Year(), Month(), OneOf<std::int32_t>({0, 31, 32, -1, INT32_MAX})};
}

std::optional<FontChoice> Generator::Font() {
  if (Chance(0.25)) return std::nullopt;
  FontChoice f;
  f.face =
      OneOf<std::u16string>({u"Arial", u"ＭＳ 明朝", u"ＭＳ ゴシック", u"Courier New", u"a\"b<c>&d",
                             u"0123456789012345678901234567890",
                             u"フォントフォントフォントフォントフォントフォントフォントフォ", u""});
  f.size = Chance(0.9) ? Range(8, 30) : OneOf<std::int32_t>({8, 30});
  return f;
}

TextArg Generator::Text() {
  const int r = Range(0, 99);
  if (r < 6) return std::nullopt;
  if (r < 10) return u"";
  if (r < 18) return u"Memo " + std::u16string(1, static_cast<char16_t>(u'a' + Range(0, 25)));
  if (r < 26) return u"予定: 会議 " + std::u16string(1, static_cast<char16_t>(u'０' + Range(0, 9)));
  if (r < 34) return u"<b>x</b> & \"y\" 'z' &amp;lt;";
  if (r < 40) return u"line one\r\nline two\n\tthree";
  if (r < 45) return u"%s%d%n%% %c %08x";
  if (r < 50) return std::u16string(u"nul\0inside", 10);
  if (r < 54) return u"lone \xD800 surrogate \xDFFF";
  if (r < 58) return u"emoji \U0001F600 and ＡＢＣ";
  if (r < 62) return u"[memo0]";
  if (r < 65) return u"Hash=0000000100000002";
  if (r < 68) return u"]";
  if (r < 71) return u"[";
  if (r < 74) return u"Subject=Message=";
  if (r < 77) return u"');alert(1);//";
  if (r < 80) return u"C:\\Docs\\report.txt";
  if (r < 84) return std::u16string(static_cast<std::size_t>(Range(100, 400)), u'長');
  // Past a record's former 10000-unit buffer, now and then: every memo
  // command draws every memo window again, so long texts cost on each call.
  if (r < 87) {
    const int big = Range(0, 99);
    if (big < 15) return std::u16string(12000, u'x');
    if (big < 20) return std::u16string(70000, u'y');
    return std::u16string(static_cast<std::size_t>(Range(1, 60)), u'z');
  }
  std::u16string s;
  const int len = Range(1, 40);
  for (int i = 0; i < len; ++i) s.push_back(static_cast<char16_t>(Range(1, 0xFFFF)));
  return s;
}

TextArg Generator::Path(const Session& session) {
  if (Chance(0.05)) return std::nullopt;
  const auto& pool = session.paths();
  return pool[static_cast<std::size_t>(Range(0, static_cast<std::int32_t>(pool.size()) - 1))];
}

TextArg Generator::WindowName(const ControlState& s, Call& c) {
  const int r = Range(0, 99);
  if (r < 20 && !s.memos.empty()) {
    c.window = {WindowRef::Kind::kMemo, static_cast<std::size_t>(Range(0, s.memos.size() - 1))};
    return u"memo" + KeyHex(s.memos[c.window.index].key);
  }
  if (r < 40 && !s.menus.empty()) {
    c.window = {Chance(0.8) ? WindowRef::Kind::kLink : WindowRef::Kind::kMenuName,
                static_cast<std::size_t>(Range(0, s.menus.size() - 1))};
    return (c.window.kind == WindowRef::Kind::kLink ? u"link" : u"menuname") +
           KeyHex(s.menus[c.window.index].key);
  }
  if (r < 80) {
    return OneOf<TextArg>({u"calender", u"schedule", u"memo", u"link", u"option", u"menumini",
                           u"menunormal", u"option_calender", u"option_menu", u"memoinput",
                           u"linkinput", u"schdlinput", u"wallpaper"});
  }
  if (r < 85) return std::nullopt;
  if (r < 88) return u"";
  if (r < 92) return u"nosuchwindow";
  if (r < 95) return std::u16string(u"calender\0x", 10);
  return Text();
}

}  // namespace vellumine::soak
