#include "video/logic/recording_state.h"

std::optional<RecordingState> nextState(RecordingState state, RecordingCommand command) {
    using S = RecordingState;
    using C = RecordingCommand;
    switch (state) {
        case S::Idle:
            if (command == C::Start) return S::Recording;
            if (command == C::Recover) return S::Assembling;
            return std::nullopt;
        case S::Recording:
        case S::Paused:
            switch (command) {
                case C::Pause:
                case C::TrayPress:
                    return S::Paused;
                case C::Resume:
                    return S::Recording;
                case C::Stop:
                    return S::Assembling;
                case C::Start:
                case C::Finished:
                case C::Recover:
                    return std::nullopt;
            }
            return std::nullopt;
        case S::Assembling:
            if (command == C::Finished) return S::Idle;
            return std::nullopt;
    }
    return std::nullopt;
}

std::optional<RecordingLook> lookOf(RecordingState state) {
    switch (state) {
        case RecordingState::Recording:
            return RecordingLook{true, true, false, CaptionKind::Recording};
        case RecordingState::Paused:
            return RecordingLook{true, false, true, CaptionKind::Paused};
        case RecordingState::Idle:
        case RecordingState::Assembling:
            return std::nullopt;
    }
    return std::nullopt;
}
