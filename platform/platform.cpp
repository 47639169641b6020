// The GUI and media half of the platform layer grows here (dialogs, key routing, sounds, profile files).
