#pragma once
// State of the speed-reading trainer held by the main window.

struct TrainerState {};
