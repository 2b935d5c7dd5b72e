#pragma once
// State of the exercise bench held by the main window.
//
// The exercise lives in its controls alone (SrcClassName, SecEdit, SaveclassName, and the hidden
// SrcList with compList on the compile page) and in the shared AcceptedClassName, so nothing
// more is kept here.

struct ExerciseState {};
