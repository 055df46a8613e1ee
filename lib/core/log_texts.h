#pragma once
// The Japanese texts lib/core writes to the log, as the Shift-JIS bytes the
// log holds; the readable text stands beside each.

namespace velk::log_text {

// 以下のメモリ確保情報が破損しました
inline constexpr char kMemoryBlockDamaged[] =
    "\x88\xc8\x89\xba\x82\xcc\x83\x81\x83\x82\x83\x8a\x8a\x6d\x95\xdb\x8f\xee\x95\xf1\x82\xaa\x94\x6a\x91\xb9\x82\xb5"
    "\x82\xdc\x82\xb5\x82\xbd";

}  // namespace velk::log_text
