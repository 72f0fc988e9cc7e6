// SIP engine sources are added here.
