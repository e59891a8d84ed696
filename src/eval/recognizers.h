// Endgame recognizers.
#pragma once

void initRecognizers();
