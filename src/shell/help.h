// The help texts of the console.
#pragma once

#include <string>
#include <vector>

class Engine;

// Prints the help for a topic: "edit", "book", anything else the general text.
void printHelp(Engine& engine, const char* topic);

// The command words the general help text names, each once, in its order
// ("hard/easy" names two).
std::vector<std::string> helpCommandWords();
