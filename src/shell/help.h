// The help texts of the console.
#pragma once

class Engine;

// Prints the help for a topic: "edit", "book", anything else the general text.
void printHelp(Engine& engine, const char* topic);
