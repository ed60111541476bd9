#include "tests/hostile_data.h"

#include "page/text.h"
#include "page/wide_format.h"

namespace vellumine::testing {
namespace {

std::u16string Repeated(std::u16string_view piece, std::size_t times) {
  std::u16string out;
  out.reserve(piece.size() * times);
  for (std::size_t i = 0; i < times; ++i) out.append(piece);
  return out;
}

// A face as the settings files keep it: at most 31 units, no half pair.
std::u16string SavedFace(std::u16string_view face) {
  face = UpToZero(face);
  if (face.size() > static_cast<std::size_t>(kMaxFaceUnits)) {
    std::size_t keep = kMaxFaceUnits;
    if (face[keep - 1] >= 0xD800 && face[keep - 1] <= 0xDBFF) --keep;
    face = face.substr(0, keep);
  }
  return std::u16string(face);
}

}  // namespace

const std::vector<std::u16string>& HostileTexts() {
  static const std::vector<std::u16string> texts = {
      u"<img src=x onerror=\"Skerrow.AddMemo(document,'PWNED','x');window.pwned=1\">",
      u"\"><img src onerror=window.pwned=1>",
      u"'><svg onload=window.pwned=1>",
      u"</pre><script>window.pwned=1</script>",
      u"&#39;);window.pwned=1;//",
      u"&#x27;-Skerrow.Open(0,0)-&#x27;",
      u"&quot; onmouseover=&quot;window.pwned=1",
      u"&lt;script&gt;window.pwned=1&lt;/script&gt;",
      u"&amp;lt;b&amp;gt; &amp &#0; &#xD800; &#x110000; &unknown; &",
      u"javascript:window.pwned=1",
      u"x;background:url(http://127.0.0.1:9/x);position:fixed",
      u"}</style><style>*{display:none}",
      u"x\\\";color:red;/*",
      u"<pre onmouseup=Skerrow.Open(0,0)>click</pre>",
      u"<!-- <![CDATA[ <textarea><plaintext><title><noscript>",
      u"<iframe srcdoc=\"<script>parent.pwned=1</script>\"></iframe>",
      u"<a href=javascript:window.pwned=1>x</a><form action=x><button>y",
      u"<base href=http://127.0.0.1:9/><meta http-equiv=refresh content=0;url=javascript:1>",
      u"<math><mtext><table><mglyph><style><img src=x onerror=window.pwned=1>",
      u"<object data=x></object><embed src=x><link rel=stylesheet href=x>",
      u"<img src=x onerror=window.pwned=1//",
      u"a]\r\n[b\tc=d Hash=0000000000000000 PageNum=7",
      u"%s%d%08x%n%%",
      u"\u2028\u2029\uFEFF\u202E' onmouseup='window.pwned=1",
      std::u16string(u"lone \xD800<b>\xDC00 \xDBFF", 13),
      std::u16string(u"ok\0<img src=x onerror=window.pwned=1>", 38),
      u"<",
      Repeated(u"<b onmouseup=window.pwned=1>&#39;\"", 350),
  };
  return texts;
}

ItemKey FolderMemoKey(int i) {
  return {0x4d000001u + static_cast<std::uint32_t>(i), 0x00000a01u + static_cast<std::uint32_t>(i)};
}
ItemKey FolderMenuKey(int i) {
  return {0x6c000001u + static_cast<std::uint32_t>(i), 0x00000b01u + static_cast<std::uint32_t>(i)};
}
ItemKey FolderWallPaperKey(int i) {
  return {0x77000001u + static_cast<std::uint32_t>(i), 0x00000c01u + static_cast<std::uint32_t>(i)};
}

FolderFiles HostileFolder(const std::function<std::u16string(int field)>& text, bool canonical) {
  FolderFiles files;
  int field = 0;
  auto next = [&] { return text(field++); };
  // A text that "config" or a wallpaper's file holds.
  auto saved = [&] { return canonical ? std::u16string(UpToZero(next())) : next(); };
  auto face = [&] { return canonical ? SavedFace(next()) : next(); };
  auto number = [&](std::u16string_view key, std::int32_t value) {
    std::u16string record = WideFormatted(u"%s=%d", {key, value});
    if (!canonical) record += next();
    return record;
  };
  auto hash = [](const ItemKey& key) {
    return WideFormatted(u"Hash=%08x%08x", {key.first, key.second});
  };
  auto key_hex = [](const ItemKey& key) {
    return Utf16ToUtf8(WideFormatted(u"%08x%08x", {key.first, key.second}));
  };

  // Memos.
  std::vector<std::u16string>& list = files["memolist"];
  for (int i = 0; i < kFolderMemos; ++i) {
    list.push_back(canonical ? WideFormatted(u"[memo%d]", {i}) : u"[" + next() + u"]");
    list.push_back(hash(FolderMemoKey(i)));
    files["memo/" + key_hex(FolderMemoKey(i))] = {u"Subject=" + next(), u"Message=" + next()};
  }
  for (int day : kFolderDays) files["schdl/" + std::to_string(day)] = {next()};

  // Link menus.
  std::vector<std::u16string>& index = files["link"];
  for (int i = 0; i < kFolderMenus; ++i) {
    index.push_back(u"[" + next() + u"]");
    index.push_back(hash(FolderMenuKey(i)));
    index.push_back(number(u"PageNum", 0));
    std::vector<std::u16string>& links = files["linkmenu/" + key_hex(FolderMenuKey(i))];
    for (int k = 0; k < kFolderLinks; ++k) links.push_back(u"[" + next() + u"]");
  }

  // Options and windows, as "config" and the wallpapers' files hold them.
  auto options = [&](std::vector<std::u16string>& out) {
    out.push_back(number(u"WeekDayColor", 0));
    out.push_back(number(u"SatDayColor", 1));
    out.push_back(number(u"SunDayColor", 2));
    out.push_back(number(u"ShadowColor", 6));
    out.push_back(number(u"MenuTextColor", 3));
    out.push_back(u"CalenderFaceName=" + face());
    out.push_back(number(u"CalenderFontSize", 20));
    out.push_back(number(u"LinkItemNum", 10));
    out.push_back(number(u"MemoItemNum", 10));
    out.push_back(u"FaceName=" + face());
    out.push_back(number(u"FontSize", 13));
  };
  std::vector<std::u16string> window_names = {u"calender", u"schedule", u"memo", u"link"};
  for (int i = 0; i < kFolderMemos; ++i) {
    window_names.push_back(
        WideFormatted(u"memo%08x%08x", {FolderMemoKey(i).first, FolderMemoKey(i).second}));
  }
  for (int i = 0; i < kFolderMenus; ++i) {
    window_names.push_back(
        WideFormatted(u"link%08x%08x", {FolderMenuKey(i).first, FolderMenuKey(i).second}));
  }
  auto windows = [&](std::vector<std::u16string>& out) {
    std::vector<std::u16string> names = window_names;
    // A record of no window on the page; "~" starts no id the page has.
    if (!canonical) names.push_back(u"~" + next());
    for (std::size_t n = 0; n < names.size(); ++n) {
      const auto w = static_cast<std::int32_t>(n);
      out.push_back(WideFormatted(u"WndName%d=%s", {w, names[n]}));
      out.push_back(number(WideFormatted(u"WndPos.x%d", {w}), 40 + 30 * w));
      out.push_back(number(WideFormatted(u"WndPos.y%d", {w}), 50 + 20 * w));
      out.push_back(number(WideFormatted(u"Visibility%d", {w}), 1));
      // Every other window takes its own colour, face and size.
      out.push_back(number(WideFormatted(u"WndDefault%d", {w}), n % 2 == 1 ? 1 : 0));
      out.push_back(number(WideFormatted(u"WndTextColor%d", {w}), 8));
      out.push_back(WideFormatted(u"WndFaceName%d=", {w}) + face());
      out.push_back(number(WideFormatted(u"WndFontSize%d", {w}), 15));
    }
  };

  // Wallpapers.
  std::vector<std::u16string>& wplist = files["wplist"];
  std::vector<std::u16string> first_settings;
  for (int i = 0; i < kFolderWallPapers; ++i) {
    const std::u16string path = saved();
    wplist.push_back(u"[" + path + u"]");
    wplist.push_back(hash(FolderWallPaperKey(i)));
    std::vector<std::u16string>& settings = files["wp/" + key_hex(FolderWallPaperKey(i))];
    settings.push_back(u"[" + path + u"]");
    options(settings);
    windows(settings);
    if (i == 0) first_settings = settings;
  }

  std::vector<std::u16string>& config = files["config"];
  if (canonical) {
    // The first wallpaper is current: "config" holds what it applies.
    config.push_back(u"WPNo=0");
    config.insert(config.end(), first_settings.begin() + 1, first_settings.end());
  } else {
    config.push_back(number(u"WPNo", -1));
    options(config);
    windows(config);
  }
  return files;
}

std::u16string FileNameOf(std::u16string_view text) {
  std::u16string name;
  for (char16_t c : text) {
    if (name.size() >= 80) break;
    name.push_back(c == u'/' || c == u'*' || c == u'?' || c == 0 ? u'_' : c);
  }
  if (!name.empty() && name.back() >= 0xD800 && name.back() <= 0xDBFF) name.pop_back();
  if (name.empty() || name == u"." || name == u"..") name = u"_" + name;
  return name;
}

}  // namespace vellumine::testing
