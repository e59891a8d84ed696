// The engine's name and version as it announces them.
#pragma once

constexpr const char* FALKMERE_VERSION = "1.08";
