recipients=[SMTP:lower@example.com]
 Sender=[SMTP:blank@example.com]
Recipients=[SMTP:first@example.com]
Subject=a=b
ClientIP= 198.51.100.4 
TimeAcquired=12abc
AuthenticationStatus=
Recipients=[SMTP:second@example.com];[SMTP:third@example.com]
Status=Undelivered