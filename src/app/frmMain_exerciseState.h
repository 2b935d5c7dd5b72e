#pragma once
// State of the exercise bench held by the main window.

struct ExerciseState {};
