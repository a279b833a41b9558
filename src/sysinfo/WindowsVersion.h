#pragma once

// The classified Windows version and the product type. Separate from the facts provider so that
// the process list can choose its calls by version without pulling in the rest.

#include <cstdint>

namespace brenvik {

// 0 unknown, 1 to 5 the Windows 9x family, 6 and above the NT family. Newer systems than the last
// value classify as wvUnknown; the order matters to range tests.
enum TWindowsVersion : std::uint8_t {
    wvUnknown,
    wvWin95,
    wvWin95OSR2,
    wvWin98,
    wvWin98SE,
    wvWinME,
    wvWinNT31,
    wvWinNT35,
    wvWinNT351,
    wvWinNT4,
    wvWin2000,
    wvWinXP,
    wvWin2003,
    wvWinXP64,
    wvWin2003R2,
    wvWinVista,
    wvWinServer2008
};

enum TNtProductType : std::uint8_t {
    ptUnknown,
    ptWorkStation,
    ptServer,
    ptAdvancedServer,
    ptPersonal,
    ptProfessional,
    ptDatacenterServer,
    ptEnterprise,
    ptWebEdition
};

// True for the NT family (wvWinNT31 and later).
constexpr bool isNtFamily(TWindowsVersion version) {
    return version >= wvWinNT31;
}

} // namespace brenvik
