Recipients=[SMTP:lf@example.com]
Sender=[SMTP:unix@example.com]
TimeAcquired=-42
