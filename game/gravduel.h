#pragma once

// The game's main routine; it never returns.
[[noreturn]] void GameMain();
