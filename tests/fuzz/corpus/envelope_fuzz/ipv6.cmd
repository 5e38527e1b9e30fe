Recipients=[SMTP:alice@example.com]
Sender=[SMTP:bob@sender.test]
ClientIP=2001:db8::7:0:1
Account=bob
TimeAcquired=1700000000
Status=Undelivered
