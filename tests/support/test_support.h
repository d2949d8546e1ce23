// Everything the end-to-end tests share: scratch directories, running a program, whole-file
// reads and writes and directory listings, the WAV writer for test inputs, and the session
// inputs for handing tarvex a fader file.
#pragma once

#include "file_io.h"
#include "run_program.h"
#include "session_inputs.h"
#include "temp_dir.h"
#include "wav_writer.h"
