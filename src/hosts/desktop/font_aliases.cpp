#include "hosts/desktop/font_aliases.h"

namespace vellumine::desktop {

const char* FontAliasRules() {
  // Strong bindings: the engine takes a face for a family only when
  // fontconfig says the two are strongly alike; otherwise it falls back to
  // the page's default face.
  return R"XML(<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd">
<fontconfig>
  <alias binding="strong">
    <family>ＭＳ ゴシック</family>
    <prefer>
      <family>IPAGothic</family><family>IPAexGothic</family><family>Noto Sans Mono CJK JP</family>
      <family>Noto Sans CJK JP</family><family>TakaoGothic</family><family>VL Gothic</family>
    </prefer>
  </alias>
  <alias binding="strong">
    <family>MS Gothic</family>
    <prefer>
      <family>IPAGothic</family><family>IPAexGothic</family><family>Noto Sans Mono CJK JP</family>
      <family>Noto Sans CJK JP</family><family>TakaoGothic</family><family>VL Gothic</family>
    </prefer>
  </alias>
  <alias binding="strong">
    <family>ＭＳ Ｐゴシック</family>
    <prefer>
      <family>IPAPGothic</family><family>IPAexGothic</family><family>Noto Sans CJK JP</family>
      <family>TakaoPGothic</family><family>VL PGothic</family>
    </prefer>
  </alias>
  <alias binding="strong">
    <family>MS PGothic</family>
    <prefer>
      <family>IPAPGothic</family><family>IPAexGothic</family><family>Noto Sans CJK JP</family>
      <family>TakaoPGothic</family><family>VL PGothic</family>
    </prefer>
  </alias>
</fontconfig>
)XML";
}

bool AddFontAliases(FcConfig* config) {
  if (config == nullptr) config = FcConfigGetCurrent();
  if (config == nullptr) return false;
  return FcConfigParseAndLoadFromMemory(config, reinterpret_cast<const FcChar8*>(FontAliasRules()),
                                        FcTrue) == FcTrue;
}

}  // namespace vellumine::desktop
