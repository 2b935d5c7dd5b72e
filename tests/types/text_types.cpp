// Only compiled, never linked or run: as written it compiles; with MIXUP_CP932_AS_UTF8 or
// MIXUP_UTF8_AS_CP932 it must not, because CP932 text and UTF-8 text are types apart.
#include <string>

#include "common/Cp932.h"
#include "exercise/JavaComp.h"

void Check(const vellaro::Cp932Text& cp932, const std::string& utf8) {
#if defined(MIXUP_CP932_AS_UTF8)
    (void)vellaro::SplitStatementLines(cp932); // the editor's text is UTF-8
#elif defined(MIXUP_UTF8_AS_CP932)
    (void)vellaro::Cp932ToUtf8(utf8); // only CP932 text is decoded
#else
    (void)vellaro::SplitStatementLines(utf8);
    (void)vellaro::Cp932ToUtf8(cp932);
#endif
}
